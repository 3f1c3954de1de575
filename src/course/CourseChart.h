#pragma once

#include "data/PatientCourse.h"

#include <QColor>
#include <QImage>
#include <QObject>

class QChart;
class QGraphicsScene;
class QScatterSeries;

// The figure of a course: above, the measured values over the normal band
// (the predicted value and the z = ±2 lines, for the body at each exam);
// below, the z-scores with their ±2 lines, on the same ages (or dates). One
// scene holds both charts, so that the window, the printed page and the
// admin tool's picture all draw the same figure.
class CourseChart : public QObject {
    Q_OBJECT
public:
    static inline const QColor kValueColour{0, 90, 170};

    explicit CourseChart(QObject* parent = nullptr);
    ~CourseChart() override;

    void show(const course::Course& course);
    // Lays both charts out over `size` (scene units, pixels at 96 dpi).
    void resize(const QSizeF& size);
    // The figure laid out over `size`, drawn at `scale` image pixels to the unit.
    QImage render(const QSizeF& size, double scale);

    // The figure of `course` as a picture of 1600 x 1000 pixels, as "Guardar
    // imagem" and the admin tool write it.
    static QImage picture(const course::Course& course);

    QGraphicsScene* scene() const { return m_scene; }
    QChart* valuesChart() const { return m_values; }
    QChart* zChart() const { return m_z; }
    // Where the course's point `index` is drawn on the values chart, in
    // scene coordinates.
    QPointF valuePosition(int index) const;

signals:
    // A point of either chart was clicked: the course's point `index`.
    void pointClicked(int index);

private:
    void clear();
    void settle();
    void showValues(const course::Course& course);
    void showZ(const course::Course& course);
    void setAxes(const course::Course& course);
    // The points of both charts as clickable markers, each coloured by its z.
    QScatterSeries* markers(QChart* chart, const std::vector<QPointF>& points, const std::vector<int>& indices,
                            const course::Course& course);
    double xOf(const course::CoursePoint& point) const;

    QGraphicsScene* m_scene;
    QChart* m_values;
    QChart* m_z;
    QScatterSeries* m_valueMarkers = nullptr;
    bool m_years = false; // ages in years, else in months
    double m_xFrom = 0, m_xTo = 1; // the horizontal axis's range
};
