#include "course/CoursePage.h"

#include "course/CourseChart.h"
#include "data/Clock.h"
#include "data/Field.h"
#include "platform/reporting/Layout.h"
#include "platform/ui/Fonts.h"

#include <QBuffer>

using namespace reporting;

namespace coursepage {

namespace {

constexpr double kWidth = 190; // A4 less its margins of 10 mm
constexpr double kFigureTop = 27, kFigureHeight = 215;
// The figure is drawn as on a screen of 96 dpi, and printed at 200 dpi.
constexpr double kScreenPerMm = 96 / 25.4, kPrintScale = 200.0 / 96;

// A line of text; boxes must not overlap, as each prints on a white ground.
TextElement text(const char* name, QRectF box, const QString& value, double points, bool bold = false,
                 Qt::Alignment alignment = Qt::AlignLeft)
{
    TextElement e;
    e.name = name;
    e.box = box;
    e.text = value;
    e.font = faceFont("Arial", pointsToPixels(points), bold);
    e.font.setPointSizeF(points);
    e.alignment = alignment;
    return e;
}

QString siteName(const course::Course& course)
{
    return course.site->label() + (course.site->unit().isEmpty() ? "" : " (" + course.site->unit() + ")");
}

} // namespace

QString title(const course::PatientHistory& history, const course::Course& course)
{
    return QString::fromUtf8("Evolução: %1 — %2").arg(course.site->label(), history.name);
}

std::vector<Page> compose(const course::PatientHistory& history, const course::Course& course)
{
    Report report;
    Band band;
    band.name = "CourseBand";
    band.kind = BandKind::Title;
    band.height = 277;
    const QString birth = history.birth.isValid() ? history.birth.toString(shortDateFormat())
                                                  : QString::fromUtf8("desconhecida");
    band.texts = {
        text("Medicao", QRectF(0, 0, kWidth, 7), QString::fromUtf8("Evolução: ") + siteName(course), 14, true),
        text("Paciente", QRectF(0, 9, kWidth, 5), "Nome: " + history.name, 11),
        text("Nascimento", QRectF(0, 15, 120, 5), QString::fromUtf8("Data Nasc.: ") + birth, 11),
        text("Impresso", QRectF(120, 15.5, kWidth - 120, 5),
             "Impresso em " + clock_::today().toString(shortDateFormat()), 9, false, Qt::AlignRight),
        text("Notas", QRectF(0, kFigureTop + kFigureHeight + 3, kWidth, 10),
             QString::fromUtf8("Pontos a laranja: |z| > 2; a vermelho: |z| > 3. Faixa verde: valores normais "
                               "(z de -2 a +2) para o tamanho da criança em cada exame."),
             9),
    };
    band.texts.back().wordWrap = true;
    band.rules.push_back(RuleElement{"Linha", 0, 22, 0, 0.35, Qt::black});
    CourseChart chart;
    chart.show(course);
    const QSizeF figure(kWidth * kScreenPerMm, kFigureHeight * kScreenPerMm);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    chart.render(figure, kPrintScale).save(&buffer, "PNG", 80); // a light compression: quick, and still small
    band.pictures.push_back(PictureElement{"Grafico", QRectF(0, kFigureTop, kWidth, kFigureHeight), png});
    report.bands.push_back(std::move(band));
    return reporting::compose(report);
}

} // namespace coursepage
