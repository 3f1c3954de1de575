#include "search/Pesqt2.h"

#include "data/Clock.h"
#include "data/DM.h"
#include "data/Schema.h"
#include "data/controls/ControlSupport.h"
#include "data/controls/DBGrid.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Placement.h"
#include "search/DatePagedQuery.h"
#include "search/Common.h"

#include <QApplication>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolButton>
#include <QValidator>
#include <QWindow>

TFormT2Pesq* FormT2Pesq = nullptr;

const char* const TFormT2Pesq::kExamsByDate =
    "select dataexame, codigoexame, nf, bddid.nome,  medico.nome, medico from eco, bddid, medico where nf = "
    "eco.codigopaciente and medico.codigo = executor order by dataexame desc";

namespace {

const char* const kDatabaseName = "BDC";
// Both searches ask for case-insensitive, partial-key matches.
const LocateOptions kSearch{true, true};

// The name field keeps every letter in capitals, typed or pasted.
class UpperCaseLetters : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        input = upperEveryLetter(input);
        return Acceptable;
    }
};

QLabel* greyBoldLabel(const QString& text, QWidget* parent, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->setFont(uiFont(11, true));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, QColor(128, 128, 128));
    label->setPalette(pal);
    label->move(x, y);
    return label;
}

DBGrid* browsingGrid(const char* name, QWidget* parent, DataSource* source)
{
    auto* grid = new DBGrid(parent);
    grid->setObjectName(name);
    grid->setIndicatorVisible(false);
    grid->setRowSelect(true);
    grid->setDataSource(source);
    return grid;
}

} // namespace

TFormT2Pesq::TFormT2Pesq(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormT2Pesq");
    setWindowTitle("Pesquisa...");
    setFont(uiFont(11));
    setFixedSize(425, 319);
    createData();
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setGeometry(5, 5, 415, 277);
    createPatientPage();
    createExamPage();
    createButtons();
    Edit1->setFocus();
    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int tab) {
        if (tab == 1)
            controls::runReported([this] { examsTabShown(); });
    });
    // Coming back from a message box opened over the window is no return to
    // it: the lists stay as they are (a failing list would otherwise fail
    // again each time its error box closes).
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
        if (window && window != windowHandle() && !QApplication::activeModalWidget())
            m_returning = true;
    });
    FormCreate();
}

TFormT2Pesq::~TFormT2Pesq()
{
    // The lists go with the window's children, after its own members.
    disconnect(DataSourcePesq, nullptr, this, nullptr);
    if (FormT2Pesq == this)
        FormT2Pesq = nullptr;
}

void TFormT2Pesq::createData()
{
    TablePesq = new Table("TablePesq", kDatabaseName, schema::tablePesq(), this);
    TablePesqNF = TablePesq->fieldByName("NF");
    TablePesqNOME = TablePesq->fieldByName("NOME");
    DataSourcePesq = new DataSource("DataSourcePesq", this);
    DataSourcePesq->setDataset(TablePesq);
    connect(DataSourcePesq, &DataSource::changed, this, [this](DataEvent event) {
        if (event == DataEvent::ActiveChanged || event == DataEvent::DataSetChanged)
            m_names.build(*TablePesq, TablePesqNOME->index());
    });

    QueryPesq1 = new DatePagedQuery("QueryPesq1", kDatabaseName, "dataexame", this);
    QueryPesq1->setSql(kExamsByDate);
    using engine::FieldType;
    const engine::FieldDef columns[] = {{"dataexame", FieldType::Date},      {"codigoexame", FieldType::DateTime},
                                        {"nf", FieldType::Integer},          {"nome", FieldType::String, 50},
                                        {"nome_1", FieldType::String, 50}, {"medico", FieldType::String, 60}};
    for (const engine::FieldDef& column : columns)
        QueryPesq1->declareField(column);
    QueryPesq1dataexame = QueryPesq1->fieldByName("dataexame");
    QueryPesq1codigoexame = QueryPesq1->fieldByName("codigoexame");
    QueryPesq1nf = QueryPesq1->fieldByName("nf");
    QueryPesq1nome = QueryPesq1->fieldByName("nome");
    QueryPesq1nome_1 = QueryPesq1->fieldByName("nome_1");
    QueryPesq1medico = QueryPesq1->fieldByName("medico");
    DataSourcePesq1 = new DataSource("DataSourcePesq1", this);
    DataSourcePesq1->setDataset(QueryPesq1);
}

void TFormT2Pesq::createPatientPage()
{
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    PageControl1->addTab(TabSheet1, "pacientes");

    Label2 = greyBoldLabel("nome:", TabSheet1, 8, 11);
    Label2->setObjectName("Label2");
    Edit1 = new QLineEdit(TabSheet1);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(48, 7, 350, 21);
    Edit1->setValidator(new UpperCaseLetters(Edit1));
    QPalette pal = Edit1->palette();
    pal.setColor(QPalette::Base, QColor(202, 238, 255));
    Edit1->setPalette(pal);
    Edit1->installEventFilter(this);
    connect(Edit1, &QLineEdit::textChanged, this, [this] { controls::runReported([this] { Edit1Change(); }); });

    DBGrid1 = browsingGrid("DBGrid1", TabSheet1, DataSourcePesq);
    DBGrid1->setGeometry(8, 35, 390, 208);
    DBGrid1->setTitlesVisible(false);
    // NOME shows 60 characters wide.
    DBGrid1->addColumn("NOME", QString(), DBGrid1->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 60 + 6);
}

void TFormT2Pesq::createExamPage()
{
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    PageControl1->addTab(TabSheet2, "exames");

    Label1 = greyBoldLabel(QString::fromUtf8("selecção de data:"), TabSheet2, 8, 11);
    Label1->setObjectName("Label1");
    Data = new QDateEdit(TabSheet2);
    Data->setObjectName("Data");
    Data->setGeometry(118, 7, 235, 21);
    Data->setCalendarPopup(true);
    Data->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));

    SpeedButton1 = new QToolButton(TabSheet2);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setGeometry(358, 6, 23, 23);
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setIcon(QIcon(":/assets/nav_refresh.png"));
    SpeedButton1->setToolTip("Actualizar...");
    connect(SpeedButton1, &QToolButton::clicked, this,
            [this] { controls::runReported([this] { SpeedButton1Click(); }); });

    DBGrid2 = browsingGrid("DBGrid2", TabSheet2, DataSourcePesq1);
    DBGrid2->setGeometry(0, 35, 409, 215);
    DBGrid2->setFont(faceFont("Small Fonts", 9));
    DBGrid2->verticalHeader()->setDefaultSectionSize(DBGrid2->fontMetrics().height() + 4);
    // 49 pixels hold a date in the narrow face the list was drawn for; a wider
    // face that stands in for it gets the room to show the whole date.
    const int dateWidth = DBGrid2->fontMetrics().horizontalAdvance(QLocale().toString(QDate(2000, 12, 31), shortDateFormat()));
    DBGrid2->addColumn("dataexame", "dt. exame", std::max(49, dateWidth + 14));
    DBGrid2->addColumn("nome", "paciente", 183, Qt::AlignCenter);
    DBGrid2->addColumn("nome_1", "executado por...", 109);
    DBGrid2->addColumn("medico", "pedido por...", 135);
    DBGrid2->setColumnLook(0, QColor(255, 255, 0), QColor(192, 192, 192));
    DBGrid2->setColumnLook(1, QColor(230, 230, 230));
    DBGrid2->setColumnLook(2, QColor(), QColor(), faceFont("Small Fonts", 8));
    // The list is read a part at a time: more as the rows shown near an end,
    // whether the list moved, was read or was scrolled.
    auto queueFetch = [this] {
        if (std::exchange(m_fetchQueued, true))
            return;
        QMetaObject::invokeMethod(this, [this] {
            m_fetchQueued = false;
            controls::runReported([this] { fetchNearEdges(); });
        }, Qt::QueuedConnection);
    };
    connect(DBGrid2->verticalScrollBar(), &QScrollBar::valueChanged, this, queueFetch);
    connect(DataSourcePesq1, &DataSource::changed, this, queueFetch);
}

void TFormT2Pesq::createButtons()
{
    auto button = [this](const char* name, const QString& caption, const QString& hint, const char* picture,
                         int x) {
        auto* b = new QPushButton(QIcon(picture), caption, this);
        b->setObjectName(name);
        b->setToolTip(hint);
        b->setGeometry(x, 288, 85, 25);
        // Enter belongs to the window's own keys, never to a default button.
        b->setAutoDefault(false);
        b->installEventFilter(this);
        return b;
    };
    BitBtn1 = button("BitBtn1", "Selecionar", "Usa o registo selecionado...", ":/assets/btn_select.png", 240);
    BitBtn2 = button("BitBtn2", "Cancelar", "Volta para o mesmo registo...", ":/assets/btn_cancel.png", 333);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { controls::runReported([this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });

    for (DBGrid* grid : {DBGrid1, DBGrid2}) {
        connect(grid, &DBGrid::dblClick, this, [this] { controls::runReported([this] { DBGrid1DblClick(); }); });
        connect(grid, &DBGrid::keyPress, this, [this](QChar key) {
            // The grid keeps Escape for itself: it still cancels the window.
            if (key == QChar(0x1b))
                BitBtn2Click();
            else
                controls::runReported([this, key] { Edit1KeyPress(key); });
        });
    }
    setTabOrder(Edit1, DBGrid1);
    setTabOrder(DBGrid1, Data);
    setTabOrder(Data, DBGrid2);
    setTabOrder(DBGrid2, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
}

// --- events ----------------------------------------------------------------------

void TFormT2Pesq::FormCreate()
{
    // The patient list opens at the window's first showing, which would read
    // it again at once: read at start-up as well, 100 000 patients would
    // cost every start a third of a second and 30 MB for nothing shown.
    //
    // The date is set once: showing the window again does not reset it.
    Data->setDateTime(clock_::now());
    // Only the user's changes search the list; the picker also reports its
    // date unchanged (Enter does), which searches nothing.
    connect(Data, &QDateEdit::dateChanged, this, [this, shown = Data->date()](QDate date) mutable {
        if (std::exchange(shown, date) != date)
            controls::runReported([this] { DataChange(); });
    });
}

void TFormT2Pesq::FormActivate()
{
    if (TablePesq->active())
        TablePesq->refresh();
    else
        TablePesq->open();
    if (PageControl1->currentIndex() == 1) {
        QueryPesq1->close();
        QueryPesq1->open();
    }
}

void TFormT2Pesq::showWindow()
{
    openWithFocus(this, PageControl1->currentIndex() == 1 ? static_cast<QWidget*>(DBGrid2) : Edit1);
}

// A hidden window reads the list as it shows (FormActivate); a shown one,
// when its tab comes to the front by hand or by the opener, and only if it
// was never read: the rows read last stay until the next return to the
// window or "Actualizar...". Without it, the date search would have no list.
void TFormT2Pesq::examsTabShown()
{
    if (isVisible() && !QueryPesq1->active())
        QueryPesq1->open();
}

// Each showing, and each return to the window from another one, refreshes
// the lists. Not every platform activates a window shown again, so showing
// counts by itself; the activation that may follow then finds nothing to do.
void TFormT2Pesq::returned()
{
    if (std::exchange(m_returning, false))
        controls::runReported([this] { FormActivate(); });
}

void TFormT2Pesq::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    returned();
}

void TFormT2Pesq::hideEvent(QHideEvent* event)
{
    m_returning = true;
    QDialog::hideEvent(event);
}

bool TFormT2Pesq::event(QEvent* event)
{
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::WindowActivate)
        returned();
    return handled;
}

bool TFormT2Pesq::eventFilter(QObject* watched, QEvent* event)
{
    // Only the refresh button shows its hint as a pop-up tip.
    if (event->type() == QEvent::ToolTip && (watched == BitBtn1 || watched == BitBtn2))
        return true;
    if (!isEnterPress(event))
        return QDialog::eventFilter(watched, event);
    // Watched are only the name field and the two buttons.
    if (watched == BitBtn2)
        BitBtn2Click();
    else
        controls::runReported([this] { Edit1KeyPress(QChar('\r')); });
    return true;
}

void TFormT2Pesq::reject() { BitBtn2Click(); }

void TFormT2Pesq::Edit1Change()
{
    // The first patient, in the list's order, whose name begins with the
    // text, whatever the case and accents: a Locate, through the list's
    // name keys.
    TablePesq->checkActive();
    const int row = m_names.find(*TablePesq, TablePesqNOME->index(), Edit1->text());
    if (row < 0)
        return;
    TablePesq->moveBy(row - TablePesq->recNo());
    DBGrid1->scrollTo(DBGrid1->currentIndex(), QAbstractItemView::PositionAtCenter);
}

void TFormT2Pesq::DataChange()
{
    const QDate date = Data->date();
    QueryPesq1->reach(date);
    QueryPesq1->locate("dataexame", date, kSearch);
}

void TFormT2Pesq::SpeedButton1Click()
{
    QueryPesq1->close();
    QueryPesq1->open();
}

void TFormT2Pesq::selectListedPatient()
{
    // Both cursors are over the patient table: this is a positioning on the
    // very record, after the current patient's pending change is settled.
    if (!TablePesq->isEmpty())
        DataModule1->TablePac->gotoCurrent(*TablePesq);
}

void TFormT2Pesq::BitBtn1Click()
{
    switch (PageControl1->currentIndex()) {
    case 0:
        selectListedPatient();
        break;
    case 1: {
        // Without a current row (an empty list, or one not yet read) the
        // numbers read as 0, which no patient and no exam has.
        const QVariant nf = QueryPesq1nf->value();
        TablePesq->locate("NF", nf.isNull() ? QVariant(0) : nf, kSearch);
        selectListedPatient();
        const QVariant exam = QueryPesq1codigoexame->value();
        DataModule1->TableEco->locate("CodigoExame", exam.isNull() ? QVariant(0) : exam, kSearch);
        break;
    }
    default:
        break;
    }
    hide();
}

void TFormT2Pesq::Edit1KeyPress(QChar key)
{
    if (key == QChar('\r'))
        BitBtn1Click();
}

void TFormT2Pesq::DBGrid1DblClick() { BitBtn1Click(); }

void TFormT2Pesq::BitBtn2Click() { hide(); }

void TFormT2Pesq::fetchNearEdges()
{
    // A margin of rows beyond those shown is always held, so that moving by
    // keys, wheel or scroll bar never meets the end of a part.
    const int margin = 30;
    if (!QueryPesq1->active())
        return;
    const int first = std::max(0, DBGrid2->rowAt(0));
    int last = DBGrid2->rowAt(DBGrid2->viewport()->height() - 1);
    if (last < 0)
        last = QueryPesq1->recordCount() - 1;
    if (last >= QueryPesq1->recordCount() - margin && QueryPesq1->hasMore(DatePagedQuery::End::Older))
        QueryPesq1->fetchMore(DatePagedQuery::End::Older);
    if (first < margin && QueryPesq1->hasMore(DatePagedQuery::End::Newer)) {
        // The rows put before the shown ones keep their place on the screen.
        const int added = QueryPesq1->fetchMore(DatePagedQuery::End::Newer);
        DBGrid2->scrollTo(DBGrid2->model()->index(first + added, 0), QAbstractItemView::PositionAtTop);
    }
}
