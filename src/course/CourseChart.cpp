#include "course/CourseChart.h"

#include "clinical/Numbers.h"

#include <QAreaSeries>
#include <QChart>
#include <QCoreApplication>
#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QScatterSeries>
#include <QValueAxis>
#include <cmath>
#include <set>

using course::Course;
using course::CoursePoint;

namespace {

const QColor kBand(205, 232, 205);
const QColor kBandEdge(90, 160, 90);
const QColor kPredicted(100, 100, 100);
const QColor kLimit(200, 60, 60); // z = ±2
const QColor kBeyond2(235, 140, 0);
const QColor kBeyond3(205, 25, 25);

// The values take the upper part of the figure, the z-scores the rest.
constexpr double kValuesShare = 0.6;
const QMargins kMargins(6, 6, 12, 6);

QChart* newChart()
{
    auto* chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setLocale(QLocale(QLocale::Portuguese, QLocale::Portugal));
    chart->setLocalizeNumbers(true);
    chart->setBackgroundRoundness(0);
    QFont title = chart->titleFont();
    title.setBold(true);
    chart->setTitleFont(title);
    return chart;
}

// 1, 2 or 5 times a power of ten: some `ticks` intervals over `span`.
double niceInterval(double span, int ticks)
{
    const double raw = span / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0})
        if (raw <= m * power * 1.0001)
            return m * power;
    return 10 * power;
}

QValueAxis* valueAxis(double from, double to, int ticks, const QString& title)
{
    auto* axis = new QValueAxis;
    const double interval = niceInterval(to - from, ticks);
    axis->setRange(std::floor(from / interval) * interval, std::ceil(to / interval) * interval);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(interval);
    axis->setLabelFormat(interval >= 1 ? "%.0f" : "%.1f");
    axis->setTitleText(title);
    return axis;
}

// Adds `series` to `chart` on the chart's axes.
template <class S> S* add(QChart* chart, S* series, bool inLegend = true)
{
    chart->addSeries(series);
    for (QAbstractAxis* axis : chart->axes())
        series->attachAxis(axis);
    if (!inLegend)
        for (QLegendMarker* marker : chart->legend()->markers(series))
            marker->setVisible(false);
    return series;
}

QLineSeries* line(const QString& name, const QColor& colour, double width, Qt::PenStyle style = Qt::SolidLine)
{
    auto* series = new QLineSeries;
    series->setName(name);
    series->setPen(QPen(colour, width, style));
    return series;
}

QColor colourOf(const CoursePoint& p)
{
    if (!p.z || std::abs(*p.z) <= 2)
        return CourseChart::kValueColour;
    return std::abs(*p.z) > 3 ? kBeyond3 : kBeyond2;
}

QString referencesUsed(const Course& course)
{
    std::set<QString> names;
    for (const CoursePoint& p : course.points)
        if (p.normal)
            names.insert(clinical::referenceName(p.normal->reference)
                         + (p.normal->formula ? ", SC " + clinical::formulaName(*p.normal->formula) : QString()));
    return QStringList(names.begin(), names.end()).join("; ");
}

} // namespace

CourseChart::CourseChart(QObject* parent)
    : QObject(parent), m_scene(new QGraphicsScene(this)), m_values(newChart()), m_z(newChart())
{
    m_scene->addItem(m_values);
    m_scene->addItem(m_z);
    m_values->legend()->setAlignment(Qt::AlignTop);
    m_z->legend()->hide();
}

CourseChart::~CourseChart() = default;

void CourseChart::clear()
{
    for (QChart* chart : {m_values, m_z}) {
        chart->removeAllSeries();
        for (QAbstractAxis* axis : chart->axes()) {
            chart->removeAxis(axis);
            delete axis;
        }
    }
    m_valueMarkers = nullptr;
}

double CourseChart::xOf(const CoursePoint& point) const
{
    if (point.ageMonths)
        return m_years ? *point.ageMonths / 12 : *point.ageMonths;
    return double(point.date.startOfDay(Qt::UTC).toMSecsSinceEpoch());
}

void CourseChart::show(const Course& course)
{
    clear();
    // Infants on months, older children on years.
    m_years = course.byAge && !course.points.empty() && *course.points.back().ageMonths >= 24;
    setAxes(course);
    showValues(course);
    showZ(course);
}

void CourseChart::setAxes(const Course& course)
{
    double xFrom = 0, xTo = 1, low = 0, high = 10, zLow = -3, zHigh = 3;
    if (!course.points.empty()) {
        xFrom = xTo = xOf(course.points.front());
        low = high = course.points.front().value;
        for (const CoursePoint& p : course.points) {
            xFrom = std::min(xFrom, xOf(p));
            xTo = std::max(xTo, xOf(p));
            low = std::min({low, p.value, p.normal ? p.normal->valueAt(-2) : p.value});
            high = std::max({high, p.value, p.normal ? p.normal->valueAt(2) : p.value});
            if (p.z) {
                zLow = std::min(zLow, std::floor(*p.z - 0.5));
                zHigh = std::max(zHigh, std::ceil(*p.z + 0.5));
            }
        }
        const double pad = (high - low) * 0.08 + 0.5;
        low = std::max(0.0, low - pad);
        high += pad;
    }
    // One exam, or all on one day: some room on either side.
    const double oneDay = 86'400'000.0;
    const double room = course.byAge ? (m_years ? 0.5 : 2.0) : 60 * oneDay;
    if (xTo - xFrom < room) {
        const double middle = (xFrom + xTo) / 2;
        xFrom = middle - room / 2;
        xTo = middle + room / 2;
    }
    const double xPad = (xTo - xFrom) * 0.04;
    const QString ages = m_years ? "Idade (anos)" : "Idade (meses)";
    const QString dates = QString::fromUtf8("Data do exame (falta a data de nascimento do paciente)");
    for (QChart* chart : {m_values, m_z}) {
        QAbstractAxis* x;
        if (course.byAge) {
            x = valueAxis(xFrom - xPad, xTo + xPad, 8, ages);
        } else {
            auto* axis = new QDateTimeAxis;
            axis->setRange(QDateTime::fromMSecsSinceEpoch(qint64(xFrom - xPad), Qt::UTC),
                           QDateTime::fromMSecsSinceEpoch(qint64(xTo + xPad), Qt::UTC));
            axis->setFormat(xTo - xFrom < 400 * oneDay ? "dd/MM/yyyy" : "MM/yyyy");
            axis->setTickCount(6);
            axis->setTitleText(dates);
            x = axis;
        }
        chart->addAxis(x, Qt::AlignBottom);
    }
    m_xFrom = xFrom - xPad;
    m_xTo = xTo + xPad;
    if (const auto* ages = qobject_cast<const QValueAxis*>(m_values->axes(Qt::Horizontal).front())) {
        m_xFrom = ages->min(); // as the axis rounded it
        m_xTo = ages->max();
    }
    m_values->addAxis(valueAxis(low, high, 6, course.site ? course.site->unit() : QString()), Qt::AlignLeft);
    // A label every z-score, or every other one where they would crowd.
    auto* z = valueAxis(zLow, zHigh, int(zHigh - zLow), "z");
    z->setTickInterval(zHigh - zLow > 6 ? 2 : 1);
    m_z->addAxis(z, Qt::AlignLeft);
}

void CourseChart::showValues(const Course& course)
{
    if (course.points.empty()) {
        m_values->setTitle(course.site ? QString::fromUtf8("Nenhum exame deste paciente tem esta medição.")
                                       : QString::fromUtf8("Este paciente não tem medições gravadas."));
        return;
    }
    m_values->setTitle(course.site->label() + (course.site->unit().isEmpty() ? "" : ", " + course.site->unit()));
    // The normal band in runs of exams that have a normal; a run of one exam
    // is drawn a little wide, so that it shows.
    const double halfWidth = (m_xTo - m_xFrom) * 0.01;
    QLineSeries *upper = nullptr, *lower = nullptr, *predicted = nullptr;
    bool named = false;
    int runLength = 0;
    auto endRun = [&] {
        if (!upper)
            return;
        if (runLength == 1)
            for (QLineSeries* s : {upper, lower, predicted}) {
                const QPointF at = s->at(0);
                s->replace(0, at - QPointF(halfWidth, 0));
                s->append(at + QPointF(halfWidth, 0));
            }
        auto* band = new QAreaSeries(upper, lower);
        upper->setParent(band);
        lower->setParent(band);
        band->setName(QString::fromUtf8("Normal (z de -2 a +2)"));
        band->setBrush(kBand);
        band->setPen(QPen(kBandEdge, 1));
        add(m_values, band, !named);
        add(m_values, predicted, !named);
        named = true;
        upper = lower = predicted = nullptr;
    };
    auto* measured = line("Valor medido", kValueColour, 2);
    std::vector<QPointF> points;
    std::vector<int> indices;
    for (size_t i = 0; i < course.points.size(); ++i) {
        const CoursePoint& p = course.points[i];
        const double x = xOf(p);
        measured->append(x, p.value);
        points.emplace_back(x, p.value);
        indices.push_back(int(i));
        if (!p.normal) {
            endRun();
            continue;
        }
        if (!upper) {
            upper = new QLineSeries;
            lower = new QLineSeries;
            predicted = line("Previsto (z = 0)", kPredicted, 1.2, Qt::DashLine);
            runLength = 0;
        }
        ++runLength;
        upper->append(x, p.normal->valueAt(2));
        lower->append(x, p.normal->valueAt(-2));
        predicted->append(x, p.normal->predicted());
    }
    endRun();
    add(m_values, measured);
    m_valueMarkers = markers(m_values, points, indices, course);
}

void CourseChart::showZ(const Course& course)
{
    std::vector<QPointF> points;
    std::vector<int> indices;
    for (size_t i = 0; i < course.points.size(); ++i)
        if (course.points[i].z) {
            points.emplace_back(xOf(course.points[i]), *course.points[i].z);
            indices.push_back(int(i));
        }
    QString title = "z-score";
    if (const QString used = referencesUsed(course); !used.isEmpty())
        title += " (" + used + ")";
    if (const size_t without = course.points.size() - points.size(); without > 0 && !course.points.empty())
        title += QString::fromUtf8(" — %1 sem z-score (ver a tabela)")
                     .arg(without == 1 ? QString("1 exame") : QString("%1 exames").arg(without));
    m_z->setTitle(title);

    for (const auto& [z, colour] : {std::pair{2.0, kLimit}, std::pair{-2.0, kLimit}, std::pair{0.0, kPredicted}}) {
        auto* limit = line(QString(), colour, 1.2, z == 0 ? Qt::DotLine : Qt::DashLine);
        limit->append(m_xFrom, z);
        limit->append(m_xTo, z);
        add(m_z, limit);
    }
    auto* zLine = line("z", kValueColour, 2);
    for (const QPointF& p : points)
        zLine->append(p);
    add(m_z, zLine);
    markers(m_z, points, indices, course);
}

QScatterSeries* CourseChart::markers(QChart* chart, const std::vector<QPointF>& points,
                                     const std::vector<int>& indices, const Course& course)
{
    auto* series = new QScatterSeries;
    series->setMarkerSize(10);
    series->setColor(kValueColour);
    series->setBorderColor(Qt::white);
    for (size_t k = 0; k < points.size(); ++k) {
        series->append(points[k]);
        const QColor colour = colourOf(course.points[size_t(indices[k])]);
        if (colour != kValueColour)
            series->setPointConfiguration(int(k), QXYSeries::PointConfiguration::Color, colour);
    }
    add(chart, series, false);
    // The marker nearest the click on screen: the series reports where it
    // was clicked in its own units.
    connect(series, &QScatterSeries::clicked, this, [this, chart, series, indices](const QPointF& at) {
        const QPointF clicked = chart->mapToPosition(at, series);
        int nearest = -1;
        double best = 0;
        for (int k = 0; k < series->count(); ++k) {
            const double d = QLineF(chart->mapToPosition(series->at(k), series), clicked).length();
            if (nearest < 0 || d < best) {
                nearest = k;
                best = d;
            }
        }
        if (nearest >= 0)
            emit pointClicked(indices[size_t(nearest)]);
    });
    return series;
}

void CourseChart::resize(const QSizeF& size)
{
    const double split = std::round(size.height() * kValuesShare);
    for (QChart* chart : {m_values, m_z})
        chart->setMargins(kMargins);
    m_values->setGeometry(QRectF(0, 0, size.width(), split));
    m_z->setGeometry(QRectF(0, split, size.width(), size.height() - split));
    m_scene->setSceneRect(QRectF(QPointF(0, 0), size));
    settle();
    // The plots line up: the chart with the narrower labels takes a wider margin.
    const double left = std::max(m_values->plotArea().left(), m_z->plotArea().left());
    const double right = std::min(m_values->plotArea().right(), m_z->plotArea().right());
    for (QChart* chart : {m_values, m_z})
        chart->setMargins(kMargins
                          + QMargins(int(std::round(left - chart->plotArea().left())), 0,
                                     int(std::round(chart->plotArea().right() - right)), 0));
    settle();
}

void CourseChart::settle()
{
    // A chart lays its axes and series out on posted events: take them now,
    // so that the figure can be measured and drawn at once.
    for (QChart* chart : {m_values, m_z})
        chart->layout()->activate();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

QImage CourseChart::render(const QSizeF& size, double scale)
{
    resize(size);
    QImage image((size * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    m_scene->render(&painter, QRectF(image.rect()), m_scene->sceneRect());
    return image;
}

QImage CourseChart::picture(const Course& course)
{
    CourseChart chart;
    chart.show(course);
    // Drawn as on a screen of 1000 x 625, so that its text reads as on screen.
    return chart.render(QSizeF(1000, 625), 1.6);
}

QPointF CourseChart::valuePosition(int index) const
{
    if (!m_valueMarkers || index < 0 || index >= m_valueMarkers->count())
        return {};
    return m_values->mapToScene(m_values->mapToPosition(m_valueMarkers->at(index), m_valueMarkers));
}
