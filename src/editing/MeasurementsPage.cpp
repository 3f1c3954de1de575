#include "editing/MeasurementsPage.h"

#include "clinical/Numbers.h"
#include "data/DM.h"
#include "data/controls/ControlSupport.h"
#include "editing/ReceivedBanner.h"
#include "platform/ui/Application.h"
#include "platform/ui/Fonts.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

using clinical::Judged;
using clinical::Site;

namespace {

const QColor kInput(255, 255, 189);   // where values are typed, as in the exam pane
const QColor kBeyond2(255, 224, 150); // |z| > 2
const QColor kBeyond3(255, 160, 140); // |z| > 3

QString referenceText(const clinical::Normal& n)
{
    return clinical::referenceName(n.reference) + (n.formula ? " (" + clinical::formulaName(*n.formula) + ")" : "");
}

} // namespace

// The grid's rows: one site each, as judged last.
class MeasurementModel : public QAbstractTableModel {
public:
    enum Column { Name, Value, Unit, Reference, Predicted, Z, Range, ColumnCount };

    std::function<bool(const Site&, const QString&)> store;

    const std::vector<Judged>& rows() const { return m_rows; }

    // With `typing`, a value is being typed: the view's editor must keep the
    // text, so the values column is left alone.
    void show(std::vector<Judged> rows, bool editable, bool medidaAvailable, bool typing = false)
    {
        const bool sameShape = rows.size() == m_rows.size();
        if (!sameShape)
            beginResetModel();
        m_rows = std::move(rows);
        m_editable = editable;
        m_medidaAvailable = medidaAvailable;
        if (!sameShape)
            endResetModel();
        else if (!m_rows.empty())
            emit dataChanged(index(0, typing ? Reference : 0), index(int(m_rows.size()) - 1, ColumnCount - 1));
    }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char* const titles[] = {"Medição", "Valor", "Unid.", "Referência", "Previsto", "z",
                                             "Normal (z ±2)"};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
            return QString::fromUtf8(titles[section]);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags f = QAbstractTableModel::flags(index);
        if (index.column() == Value && editable(m_rows[index.row()]))
            f |= Qt::ItemIsEditable;
        return f;
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        const Judged& j = m_rows[index.row()];
        switch (role) {
        case Qt::DisplayRole: return text(j, index.column());
        case Qt::EditRole: return j.value ? clinical::shortDecimal(*j.value) : QString();
        case Qt::ToolTipRole: return tip(j, index.column());
        case Qt::BackgroundRole:
            if (j.severity() > 0)
                return j.severity() > 1 ? kBeyond3 : kBeyond2;
            return index.column() == Value && editable(j) ? QVariant(kInput) : QVariant();
        case Qt::FontRole:
            return index.column() == Z && j.severity() > 1 ? QVariant(uiFont(11, true)) : QVariant();
        case Qt::TextAlignmentRole:
            return index.column() == Name || index.column() == Reference || index.column() == Unit
                ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                : QVariant(Qt::AlignRight | Qt::AlignVCenter);
        default: return {};
        }
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (role != Qt::EditRole || index.column() != Value || !store)
            return false;
        return store(*m_rows[index.row()].site, value.toString());
    }

private:
    bool editable(const Judged& j) const { return m_editable && (j.site->examColumn || m_medidaAvailable); }

    static QString text(const Judged& j, int column)
    {
        const clinical::Normal* n = j.normal ? &*j.normal : nullptr;
        switch (column) {
        case Name: return j.site->label();
        case Value: return j.value ? clinical::shortDecimal(*j.value) : QString();
        case Unit: return j.site->unit();
        case Reference: return n ? referenceText(*n) : QString();
        case Predicted: return n ? clinical::decimal(n->predicted(), 1) : QString();
        case Z: return j.z ? clinical::signedDecimal(*j.z) + (n->outside.isEmpty() ? "" : " *") : QString();
        case Range:
            return n ? clinical::decimal(n->valueAt(-2), 1) + QString::fromUtf8(" – ")
                    + clinical::decimal(n->valueAt(2), 1)
                     : QString();
        }
        return {};
    }

    static QString tip(const Judged& j, int column)
    {
        if (column == Name || column == Value || column == Unit)
            return {};
        if (!j.normal)
            return j.why;
        const QString basis = "z calculado com " + j.normal->basis() + ".";
        return j.normal->outside.isEmpty() ? basis : j.normal->outside + "\n" + basis;
    }

    std::vector<Judged> m_rows;
    bool m_editable = false;
    bool m_medidaAvailable = true;
};

namespace {

// The grid: Enter takes a value and goes on to the next row's; what is still
// being typed can be taken over when the exam is saved.
class MeasurementGrid : public QTableView {
public:
    using QTableView::QTableView;

    void commitOpenEditor()
    {
        if (state() != EditingState)
            return;
        if (QWidget* editor = indexWidget(currentIndex())) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }

    void keyboardSearch(const QString&) override {} // typing is for values

    bool typing() const { return state() == EditingState; }

protected:
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override
    {
        QTableView::closeEditor(editor, hint);
        if (hint == QAbstractItemDelegate::SubmitModelCache)
            setCurrentIndex(currentIndex().sibling(currentIndex().row() + 1, currentIndex().column()));
    }
};

// Tells the page each key typed into a value, so that its z-score shows at once.
class ValueDelegate : public QStyledItemDelegate {
public:
    ValueDelegate(std::function<void(int, const QString&)> typed, QObject* parent)
        : QStyledItemDelegate(parent), m_typed(std::move(typed))
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setObjectName("EditValorMedicao");
            line->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            const int row = index.row();
            QObject::connect(line, &QLineEdit::textEdited, line, [this, row](const QString& t) { m_typed(row, t); });
        }
        return editor;
    }

private:
    std::function<void(int, const QString&)> m_typed;
};

} // namespace

MeasurementsPage::MeasurementsPage(QWidget* parent) : QWidget(parent), m_model(new MeasurementModel)
{
    setObjectName("TabSheetMedicoes");
    m_model->setParent(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    auto* bodyRow = new QHBoxLayout;
    LabelCorpo = new QLabel(this);
    LabelCorpo->setObjectName("LabelCorpo");
    bodyRow->addWidget(LabelCorpo, 1);
    auto* weeksCaption = new QLabel("Idade gestacional:", this);
    bodyRow->addWidget(weeksCaption);
    EditIdadeGestacional = new QLineEdit(this);
    EditIdadeGestacional->setObjectName("EditIdadeGestacional");
    EditIdadeGestacional->setFixedWidth(52);
    EditIdadeGestacional->setToolTip(QString::fromUtf8("Só num exame fetal: semanas+dias (36+6) ou semanas (36,5)"));
    bodyRow->addWidget(EditIdadeGestacional);
    BotaoEvolucao = new QPushButton(QString::fromUtf8("Evolução..."), this);
    BotaoEvolucao->setObjectName("BotaoEvolucao");
    BotaoEvolucao->setToolTip(QString::fromUtf8("A medição escolhida em todos os exames do paciente"));
    BotaoEvolucao->setFocusPolicy(Qt::NoFocus);
    bodyRow->addWidget(BotaoEvolucao);
    layout->addLayout(bodyRow);

    PainelRecebidas = new ReceivedBanner(this);
    layout->addWidget(PainelRecebidas);

    auto* grid = new MeasurementGrid(this);
    GridMedicoes = grid;
    grid->setObjectName("GridMedicoes");
    grid->setModel(m_model);
    grid->setItemDelegateForColumn(MeasurementModel::Value,
                                   new ValueDelegate([this](int row, const QString& t) {
                                       preview(*m_model->rows().at(row).site, t);
                                   }, grid));
    grid->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked
                          | QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    grid->setWordWrap(false);
    QHeaderView* columns = grid->horizontalHeader();
    columns->setSectionResizeMode(MeasurementModel::Name, QHeaderView::Stretch);
    const int widths[] = {0, 48, 40, 126, 54, 54, 84};
    for (int c = MeasurementModel::Value; c < MeasurementModel::ColumnCount; ++c)
        grid->setColumnWidth(c, widths[c]);
    layout->addWidget(grid, 1);

    auto* noteRow = new QHBoxLayout;
    LabelNotaMedicoes = new QLabel(this);
    LabelNotaMedicoes->setObjectName("LabelNotaMedicoes");
    LabelNotaMedicoes->setWordWrap(true);
    noteRow->addWidget(LabelNotaMedicoes, 1);
    BotaoInserirMedicoes = new QPushButton(QString::fromUtf8("Inserir medições no relatório"), this);
    BotaoInserirMedicoes->setObjectName("BotaoInserirMedicoes");
    BotaoInserirMedicoes->setToolTip(QString::fromUtf8("Escreve as medições e os z-scores no relatório, onde está o cursor"));
    connect(BotaoInserirMedicoes, &QPushButton::clicked, this, &MeasurementsPage::insertIntoReport);
    noteRow->addWidget(BotaoInserirMedicoes, 0, Qt::AlignBottom);
    layout->addLayout(noteRow);
    setFocusProxy(grid);

    connect(BotaoEvolucao, &QPushButton::clicked, this, [this] {
        const QModelIndex at = GridMedicoes->currentIndex();
        emit evolucaoRequested(at.isValid() ? QString(m_model->rows().at(at.row()).site->code) : QString());
    });
    m_model->store = [this](const Site& site, const QString& text) { return store(site, text); };
    connect(EditIdadeGestacional, &QLineEdit::textEdited, this, [this] { m_weeksTyped = true; });
    connect(EditIdadeGestacional, &QLineEdit::editingFinished, this, [this] {
        if (std::exchange(m_weeksTyped, false))
            store(*clinical::findSite(clinical::kGestationalAge), EditIdadeGestacional->text());
    });
    // The data module comes later at start-up.
    Application::instance()->bindByName(this, "DataModule1",
                                        [this](QObject* dm) { bind(static_cast<TDataModule1*>(dm)); });
}

MeasurementsPage::~MeasurementsPage() = default;

void MeasurementsPage::bind(TDataModule1* dm)
{
    m_dm = dm;
    connect(dm->Measurements, &ExamMeasurements::changed, this, &MeasurementsPage::refresh);
    connect(dm->DataSourceEco, &DataSource::changed, this, [this](DataEvent event, Field*) {
        if (event == DataEvent::UpdateRecord)
            commitTyping();
    });
    connect(dm, &QObject::destroyed, this, [this] { m_dm = nullptr; });
    refresh();
}

const std::vector<Judged>& MeasurementsPage::judged() const { return m_model->rows(); }

void MeasurementsPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_stale)
        refresh();
}

void MeasurementsPage::refresh()
{
    // Nothing to show while hidden: moving through exams costs nothing here.
    if (!isVisible() || !m_dm || !m_dm->Measurements) {
        m_stale = true;
        return;
    }
    m_stale = false;
    ExamMeasurements& measurements = *m_dm->Measurements;
    const clinical::Body body = measurements.body();
    const bool editing = m_dm->TableEco->editing();
    // A report received meanwhile refreshes the page: a value being typed stays.
    m_model->show(clinical::judgeExam(measurements.values(), body, measurements.practice()), editing,
                  measurements.available(), static_cast<MeasurementGrid*>(GridMedicoes)->typing());
    if (!GridMedicoes->currentIndex().isValid())
        GridMedicoes->setCurrentIndex(m_model->index(0, MeasurementModel::Value));
    showBody(body);
    PainelRecebidas->refresh(m_dm);
    if (!m_weeksTyped)
        EditIdadeGestacional->setText(body.weeks ? clinical::weeksText(*body.weeks) : QString());
    EditIdadeGestacional->setReadOnly(!editing || !measurements.available());

    QString note = QString::fromUtf8("|z| > 2 realçado, |z| > 3 mais forte; * fora da população de referência "
                                     "(a dica diz porquê).");
    if (!measurements.available())
        note += QString::fromUtf8(" Esta base de dados ainda não tem a tabela das medições: só os valores do "
                                  "modo M e do Doppler podem ser gravados.");
    else if (const QString problem = measurements.problem(); !problem.isEmpty())
        note += QString::fromUtf8(" As medições deste exame não puderam ser lidas: ") + problem;
    LabelNotaMedicoes->setText(note);
}

void MeasurementsPage::showBody(const clinical::Body& body)
{
    if (body.fetal()) {
        LabelCorpo->setText(QString::fromUtf8("Exame fetal: idade gestacional %1 semanas (Schneider 2005)")
                                .arg(clinical::weeksText(*body.weeks)));
        return;
    }
    const clinical::BsaFormula formula = m_dm->Measurements->practice().formula;
    const QString dash = QString::fromUtf8("—");
    const std::optional<double> bsa = body.surfaceArea(formula);
    LabelCorpo->setText(QString::fromUtf8("Peso: %1    Altura: %2    SC: %3")
                            .arg(body.weightKg ? clinical::shortDecimal(*body.weightKg) + " kg" : dash,
                                 body.heightCm ? clinical::shortDecimal(*body.heightCm) + " cm" : dash,
                                 bsa ? QString::fromUtf8("%1 m² (%2)")
                                           .arg(clinical::decimal(*bsa, 2), clinical::formulaName(formula))
                                     : dash + QString::fromUtf8(" (falta o peso ou a altura)")));
}

bool MeasurementsPage::store(const Site& site, const QString& text)
{
    if (!m_dm || !m_dm->Measurements)
        return false; // the program is closing: the data module has gone first
    const QString typed = text.trimmed();
    std::optional<double> value;
    QString why;
    if (!typed.isEmpty()) {
        const bool weeks = site.quantity == clinical::Quantity::Weeks;
        value = weeks ? clinical::parseWeeks(typed) : clinical::parseNumber(typed);
        if (!value)
            why = site.label() + QString::fromUtf8(": «%1» não é %2. Nada foi gravado.")
                                     .arg(typed, weeks ? QString::fromUtf8("uma idade gestacional (semanas+dias, "
                                                                           "36+6, ou semanas, 36,5)")
                                                       : QString::fromUtf8("um número"));
        else if (const auto refused = clinical::refusal(site, *value))
            why = *refused;
    }
    if (!why.isEmpty()) {
        // After the editor has closed: a box now would take its focus mid-way.
        QTimer::singleShot(0, this, [why] { Application::showMessage(why); });
        refresh();
        return false;
    }
    return controls::runReported([&] { m_dm->Measurements->setValue(site, value); });
}

void MeasurementsPage::preview(const Site& site, const QString& text)
{
    if (!m_dm || !m_dm->Measurements)
        return;
    clinical::Values values = m_dm->Measurements->values();
    const std::optional<double> typed = clinical::parseNumber(text);
    if (typed && !clinical::refusal(site, *typed))
        values.insert(site.code, *typed);
    else
        values.remove(site.code);
    ExamMeasurements& measurements = *m_dm->Measurements;
    const clinical::Body body = measurements.body();
    m_model->show(clinical::judgeExam(values, body, measurements.practice()), m_dm->TableEco->editing(),
                  measurements.available(), true);
}

void MeasurementsPage::commitTyping()
{
    static_cast<MeasurementGrid*>(GridMedicoes)->commitOpenEditor();
    if (std::exchange(m_weeksTyped, false))
        store(*clinical::findSite(clinical::kGestationalAge), EditIdadeGestacional->text());
}
