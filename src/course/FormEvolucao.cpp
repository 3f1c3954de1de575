#include "course/FormEvolucao.h"

#include "clinical/Numbers.h"
#include "course/CourseChart.h"
#include "course/CoursePage.h"
#include "data/Connection.h"
#include "data/DM.h"
#include "data/Field.h"
#include "platform/engine/EngineError.h"
#include "platform/reporting/PreviewWindow.h"
#include "platform/ui/Application.h"
#include "report/Rel.h"

#include <QFileDialog>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

using course::CoursePoint;

namespace {

// The figure fills the view, whatever its size.
class FigureView : public QGraphicsView {
public:
    FigureView(CourseChart* chart, QWidget* parent) : QGraphicsView(chart->scene(), parent), m_chart(chart)
    {
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        setFrameShape(QFrame::NoFrame);
    }

    void fit()
    {
        m_chart->resize(viewport()->size());
        setSceneRect(m_chart->scene()->sceneRect());
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QGraphicsView::resizeEvent(event);
        fit();
    }

private:
    CourseChart* m_chart;
};

QString dash() { return QString::fromUtf8("—"); }

enum Column { Date, Age, Bsa, Value, Z, Note, ColumnCount };

// Prints the page on the report's printer, with no dialog first.
void printPage(const course::PatientHistory& history, const course::Course& course)
{
    QString error;
    if (!reporting::startPrinting(coursepage::compose(history, course), Relatorio->printerSettings(),
                                  coursepage::title(history, course), &error))
        Application::showMessage(error);
}

} // namespace

FormEvolucao::FormEvolucao(evolucao::MakeCurrent makeCurrent, QWidget* parent)
    : QWidget(parent, Qt::Window), m_makeCurrent(std::move(makeCurrent)), m_chart(new CourseChart(this))
{
    setObjectName("FormEvolucao");
    setWindowTitle(QString::fromUtf8("Evolução"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(1000, 720);

    auto* layout = new QVBoxLayout(this);
    LabelPaciente = new QLabel(this);
    LabelPaciente->setObjectName("LabelPaciente");
    QFont bold = LabelPaciente->font();
    bold.setBold(true);
    LabelPaciente->setFont(bold);
    layout->addWidget(LabelPaciente);

    auto* body = new QHBoxLayout;
    ListaMedicoes = new QListWidget(this);
    ListaMedicoes->setObjectName("ListaMedicoes");
    ListaMedicoes->setFixedWidth(230);
    body->addWidget(ListaMedicoes);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    auto* view = new FigureView(m_chart, splitter);
    GraficoEvolucao = view;
    GraficoEvolucao->setObjectName("GraficoEvolucao");
    GridEvolucao = new QTableWidget(0, ColumnCount, splitter);
    GridEvolucao->setObjectName("GridEvolucao");
    GridEvolucao->setHorizontalHeaderLabels({"Data", "Idade", QString::fromUtf8("SC (m²)"), "Valor", "z",
                                             QString::fromUtf8("Referência ou porque falta o z")});
    GridEvolucao->horizontalHeader()->setStretchLastSection(true);
    GridEvolucao->verticalHeader()->hide();
    GridEvolucao->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridEvolucao->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridEvolucao->setSelectionMode(QAbstractItemView::SingleSelection);
    GridEvolucao->verticalHeader()->setDefaultSectionSize(GridEvolucao->fontMetrics().height() + 6);
    GraficoEvolucao->setMinimumHeight(320);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({500, 150});
    body->addWidget(splitter, 1);
    layout->addLayout(body, 1);

    auto* buttons = new QHBoxLayout;
    auto button = [&](QPushButton*& b, const char* name, const char* text) {
        b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(name);
        buttons->addWidget(b);
    };
    button(BotaoImprimir, "BotaoImprimir", "Imprimir");
    button(BotaoVerAntes, "BotaoVerAntes", "Ver Antes");
    button(BotaoGuardarImagem, "BotaoGuardarImagem", "Guardar imagem...");
    buttons->addStretch(1);
    button(BotaoFechar, "BotaoFechar", "Fechar");
    layout->addLayout(buttons);

    connect(ListaMedicoes, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            showSite(ListaMedicoes->item(row)->data(Qt::UserRole).toString());
    });
    connect(m_chart, &CourseChart::pointClicked, this, &FormEvolucao::makeCurrent);
    connect(GridEvolucao, &QTableWidget::cellActivated, this, [this](int row, int) { this->makeCurrent(row); });
    connect(BotaoImprimir, &QPushButton::clicked, this, &FormEvolucao::print);
    connect(BotaoVerAntes, &QPushButton::clicked, this, &FormEvolucao::preview);
    connect(BotaoGuardarImagem, &QPushButton::clicked, this, &FormEvolucao::chooseImageFile);
    connect(BotaoFechar, &QPushButton::clicked, this, &QWidget::close);
    follow();
}

void FormEvolucao::follow()
{
    // Another patient, an exam saved or deleted, or another exam current in
    // the main window.
    connect(DataModule1->DataSourcePac, &DataSource::changed, this, [this](DataEvent event, Field*) {
        if (event == DataEvent::Scrolled || event == DataEvent::DataSetChanged || event == DataEvent::ActiveChanged)
            reloadSoon();
    });
    connect(DataModule1->DataSourceEco, &DataSource::changed, this, [this](DataEvent event, Field*) {
        if ((event == DataEvent::StateChanged && DataModule1->TableEco->state() == DataSetState::Browse)
            || event == DataEvent::DataSetChanged)
            reloadSoon();
        else if (event == DataEvent::Scrolled)
            markCurrentExam();
    });
}

void FormEvolucao::makeCurrent(int index)
{
    if (m_makeCurrent && index >= 0 && index < int(m_course.points.size()))
        m_makeCurrent(m_course.points[size_t(index)].exam);
}

FormEvolucao::~FormEvolucao()
{
    if (m_preview)
        m_preview->close();
}

void FormEvolucao::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (std::exchange(m_stale, false))
        showCurrentPatient();
}

void FormEvolucao::reloadSoon()
{
    // After the operation that changed the records has ended, once for many events.
    if (!isVisible()) {
        m_stale = true;
        return;
    }
    if (std::exchange(m_reloadPending, true))
        return;
    QTimer::singleShot(0, this, [this] {
        m_reloadPending = false;
        showCurrentPatient();
    });
}

void FormEvolucao::showCurrentPatient(const QString& site)
{
    if (!DataModule1)
        return; // the program is closing
    const QString wanted = !site.isEmpty() ? site : m_course.site ? QString(m_course.site->code) : QString();
    m_history = {};
    m_course = {};
    const QVariant nf = DataModule1->TablePac->active() ? DataModule1->TablePacCODIGO->value() : QVariant();
    QString problem;
    if (nf.isNull()) {
        problem = QString::fromUtf8("Nenhum paciente gravado está seleccionado.");
    } else {
        try {
            m_history = course::readHistory(databaseNamed(DataModule1->TablePac->databaseName()), nf);
        } catch (const engine::EngineError& e) {
            problem = QString::fromUtf8("Os exames do paciente não puderam ser lidos: ") + e.text();
        }
    }
    if (problem.isEmpty()) {
        const QString birth = m_history.birth.isValid() ? m_history.birth.toString(shortDateFormat())
                                                        : QString::fromUtf8("desconhecida");
        LabelPaciente->setText(QString::fromUtf8("%1    Data Nasc.: %2    %3 exames")
                                   .arg(m_history.name, birth)
                                   .arg(m_history.exams.size()));
        setWindowTitle(QString::fromUtf8("Evolução — ") + m_history.name);
    } else {
        LabelPaciente->setText(problem);
        setWindowTitle(QString::fromUtf8("Evolução"));
    }

    const QSignalBlocker quiet(ListaMedicoes);
    ListaMedicoes->clear();
    int chosen = 0;
    for (const clinical::Site* site : course::measuredSites(m_history)) {
        auto* item = new QListWidgetItem(site->label(), ListaMedicoes);
        item->setData(Qt::UserRole, QString(site->code));
        if (wanted == QLatin1String(site->code))
            chosen = ListaMedicoes->count() - 1;
    }
    if (ListaMedicoes->count() > 0) {
        ListaMedicoes->setCurrentRow(chosen);
        const QString code = ListaMedicoes->item(chosen)->data(Qt::UserRole).toString();
        m_course = course::courseOf(m_history, *clinical::findSite(code));
    }
    showCourse();
}

void FormEvolucao::showSite(const QString& code)
{
    const clinical::Site* site = clinical::findSite(code);
    if (!site)
        return;
    m_course = course::courseOf(m_history, *site);
    showCourse();
}

void FormEvolucao::showCourse()
{
    m_chart->show(m_course);
    if (GraficoEvolucao->isVisible()) // else its first resize lays it out
        static_cast<FigureView*>(GraficoEvolucao)->fit();
    fillTable();
    for (QPushButton* b : {BotaoImprimir, BotaoVerAntes, BotaoGuardarImagem})
        b->setEnabled(m_course.site);
}

void FormEvolucao::fillTable()
{
    GridEvolucao->setRowCount(int(m_course.points.size()));
    for (int row = 0; row < int(m_course.points.size()); ++row) {
        const CoursePoint& p = m_course.points[size_t(row)];
        QString age = dash(), note;
        if (p.weeks)
            age = "IG " + clinical::weeksText(*p.weeks);
        else if (p.ageMonths)
            age = course::ageText(*p.ageMonths);
        if (!p.normal)
            note = p.why;
        else if (p.normal->outside.isEmpty())
            note = clinical::referenceName(p.normal->reference);
        else
            note = clinical::referenceName(p.normal->reference) + ": " + p.normal->outside;
        const QString cells[ColumnCount] = {
            p.date.toString(shortDateFormat()),
            age,
            p.bsa ? clinical::decimal(*p.bsa, 2) : dash(),
            clinical::withUnit(p.value, *m_course.site),
            p.z ? clinical::signedDecimal(*p.z) + (p.normal->outside.isEmpty() ? "" : " *") : dash(),
            note,
        };
        for (int c = 0; c < ColumnCount; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(c == Note ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
            GridEvolucao->setItem(row, c, item);
        }
    }
    for (int c = 0; c < Note; ++c) // the note takes the rest of the width
        GridEvolucao->resizeColumnToContents(c);
    markCurrentExam();
}

void FormEvolucao::markCurrentExam()
{
    if (!DataModule1)
        return;
    const QVariant current = DataModule1->TableEco->active() ? DataModule1->TableEcoCodigoExame->value() : QVariant();
    for (int row = 0; row < int(m_course.points.size()); ++row)
        if (m_course.points[size_t(row)].exam == current) {
            const QSignalBlocker quiet(GridEvolucao);
            GridEvolucao->selectRow(row);
            return;
        }
    GridEvolucao->clearSelection();
}

void FormEvolucao::print()
{
    if (m_course.site)
        printPage(m_history, m_course);
}

void FormEvolucao::preview()
{
    if (!m_course.site)
        return;
    if (!m_preview) {
        m_preview = new reporting::PreviewWindow(&Relatorio->printerSettings());
        m_preview->resize(900, 1000);
        m_preview->show();
    }
    // The preview prints what it shows, whatever this window shows by then.
    const course::PatientHistory history = m_history;
    const course::Course shown = m_course;
    m_preview->printComposed = [history, shown] { printPage(history, shown); };
    m_preview->showComposed(coursepage::compose(history, shown), coursepage::title(history, shown));
    m_preview->raise();
    m_preview->activateWindow();
}

bool FormEvolucao::saveImage(const QString& fileName)
{
    if (!m_course.site)
        return false;
    QString error;
    bool saved;
    if (fileName.endsWith(".pdf", Qt::CaseInsensitive)) {
        saved = reporting::writePdf(coursepage::compose(m_history, m_course), fileName,
                                    coursepage::title(m_history, m_course), &error);
    } else {
        saved = CourseChart::picture(m_course).save(fileName, "PNG");
        if (!saved)
            error = QString::fromUtf8("Não foi possível gravar a imagem \"%1\".").arg(fileName);
    }
    if (!saved)
        Application::showMessage(error);
    return saved;
}

void FormEvolucao::chooseImageFile()
{
    const QString png = QString::fromUtf8("Imagem PNG (*.png)"), pdf = QString::fromUtf8("Página em PDF (*.pdf)");
    QString filter = png;
    QString file = QFileDialog::getSaveFileName(this, "Guardar imagem", QString(), png + ";;" + pdf, &filter);
    if (file.isEmpty())
        return;
    if (!file.endsWith(".png", Qt::CaseInsensitive) && !file.endsWith(".pdf", Qt::CaseInsensitive))
        file += filter == pdf ? ".pdf" : ".png";
    saveImage(file);
}

void installFormEvolucao()
{
    evolucao::install([](const QString& site, evolucao::MakeCurrent makeCurrent) {
        static QPointer<FormEvolucao> window;
        if (!DataModule1)
            return;
        if (!window)
            window = new FormEvolucao(std::move(makeCurrent), Application::instance()->mainWindow());
        window->showCurrentPatient(site);
        window->show();
        window->raise();
        window->activateWindow();
    });
}
