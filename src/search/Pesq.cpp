#include "search/Pesq.h"

#include "data/DM.h"
#include "data/Schema.h"
#include "data/controls/ControlSupport.h"
#include "data/controls/DBGrid.h"
#include "platform/ui/Colours.h"
#include "platform/ui/Application.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Placement.h"
#include "search/Common.h"

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

TFormPesqAV* FormPesqAV = nullptr;

namespace {

// Test 1 of 21, in the head of the statement; tests 2 to 21 follow it in this
// order, each column upper-cased by the store (cast to text of a fixed width
// where it is not text) and compared with the pattern.
const char* const kHead = "select NF,NOME,MORADA,DNASC,NATUR,D1CONS,TELEF,PROF,ESTADO,RECOMEND,BENIFIC,IDADE,BENIF,"
                          "CPOSTAL,CIDADE,SEXO,NCONTRIB,NCONS,PERUTENTE,CENTROS,NCENTROS from bddid where "
                          "Upper(Cast(NF as char(10))) like ";
const char* const kJoints[] = {" or Upper(NOME) like ",
                               " or Upper(MORADA) like ",
                               " or Upper(Cast(DNASC as Char(10))) like ",
                               " or Upper(NATUR) like ",
                               " or Upper(Cast(D1CONS as Char(10))) like ",
                               " or Upper(TELEF) like ",
                               " or Upper(PROF) like ",
                               " or Upper(ESTADO) like ",
                               " or Upper(RECOMEND) like ",
                               " or Upper(BENIFIC) like ",
                               " or Upper(Cast(IDADE as Char(3))) like ",
                               " or Upper(BENIF) like ",
                               " or Upper(CPOSTAL) like ",
                               " or Upper(CIDADE) like ",
                               " or Upper(SEXO) like ",
                               " or Upper(NCONTRIB) like ",
                               " or Upper(Cast(NCONS as Char(3))) like ",
                               " or Upper(Cast(PERUTENTE as Char(3))) like ",
                               " or Upper(CENTROS) like ",
                               " or Upper(NCENTROS) like "};

const char* const kResults = "  Resultados da Pesquisa...";

// The escape character of every "like": PostgreSQL would otherwise take a
// backslash as one. Typed, it is doubled and so stands for itself.
const QChar kEscape('!');

// --- the magnifying glass, decoded by libjpeg -------------------------------------

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void jpegFailed(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1); }

void jpegQuiet(j_common_ptr) {}

// Decodes into `out`; false for a broken picture. Only plain C objects live
// in this frame, which a failure leaves through longjmp.
bool decodeJpeg(jpeg_decompress_struct* info, JpegError* error, const QByteArray* data, QImage* out)
{
    if (setjmp(error->jump))
        return false;
    jpeg_create_decompress(info);
    jpeg_mem_src(info, reinterpret_cast<const unsigned char*>(data->constData()), static_cast<unsigned long>(data->size()));
    jpeg_read_header(info, TRUE);
    info->out_color_space = JCS_RGB;
    jpeg_start_decompress(info);
    *out = QImage(int(info->output_width), int(info->output_height), QImage::Format_RGB888);
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = out->scanLine(int(info->output_scanline));
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    return true;
}

QImage jpegPicture(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    jpeg_decompress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegFailed;
    error.manager.output_message = jpegQuiet;
    QImage image;
    const bool decoded = decodeJpeg(&info, &error, &data, &image);
    jpeg_destroy_decompress(&info);
    return decoded ? image : QImage();
}

} // namespace

TFormPesqAV::TFormPesqAV(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::WindowStaysOnTopHint)
{
    setObjectName("FormPesqAV");
    setWindowTitle(QString::fromUtf8("Pesquisa Avançada"));
    setFont(uiFont(11));
    setFixedSize(437, 326);
    // Closing destroys the window, and its search text with it.
    setAttribute(Qt::WA_DeleteOnClose);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(0, 0, 437, 112);
    fillBackground(Panel1, Qt::white);

    Label2 = new QLabel("Palavra / Frase a Pesquisar...", Panel1);
    Label2->setObjectName("Label2");
    Label2->setFont(uiFont(11, true));
    Label2->move(6, 12);
    BitBtn1 = new QPushButton(QIcon(":/assets/btn_search.png"), "Pesquisar...", Panel1);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(162, 6, 82, 25);
    BitBtn1->setAutoDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { controls::runReported([this] { BitBtn1Click(); }); });
    Edit1 = new QLineEdit(Panel1);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(8, 36, 232, 21);
    Edit1->installEventFilter(this);
    Label3 = new QLabel(QString::fromUtf8("Use o símbolo % para representar \"qualquer coisa\""), Panel1);
    Label3->setObjectName("Label3");
    Label3->setGeometry(8, 62, 232, 30);
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1 = new QLabel(Panel1);
    Image1->setObjectName("Image1");
    Image1->setGeometry(243, 1, 194, 110);
    Image1->setPixmap(QPixmap::fromImage(jpegPicture(":/assets/magnifier.jpg")));

    Label1 = new QLabel(kResults, this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(0, 112, 437, 17);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fillBackground(Label1, QColor(128, 128, 128), Qt::white);

    DBGrid1 = new DBGrid(this);
    DBGrid1->setObjectName("DBGrid1");
    DBGrid1->setGeometry(0, 129, 437, 197);
    DBGrid1->setIndicatorVisible(false);
    DBGrid1->setRowSelect(true);
    DBGrid1->setConfirmDelete(true);
    DBGrid1->setToolTip("Duplo-CLique para selecionar paciente...");
    DBGrid1->setDataSourceName("DataModule1.DataSourcePesqAV");
    // The statement's columns, in its order; a whole name (50 characters)
    // shows without widening its column.
    const int digit = DBGrid1->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (const QString& column : schema::patientSearchColumns())
        DBGrid1->addColumn(column, column, column == "NOME" ? digit * 50 + 6 : -1);
    connect(DBGrid1, &DBGrid::dblClick, this, [this] { controls::runReported([this] { DBGrid1DblClick(); }); });

    setTabOrder(Edit1, BitBtn1);
    setTabOrder(BitBtn1, DBGrid1);
    Edit1->setFocus();
}

TFormPesqAV::~TFormPesqAV()
{
    if (FormPesqAV == this)
        FormPesqAV = nullptr;
}

void TFormPesqAV::showWindow()
{
    if (!FormPesqAV) {
        FormPesqAV = new TFormPesqAV;
        Application::instance()->registerComponent(FormPesqAV);
    }
    // Built at start-up, before the main window shows, and again after each
    // close: it opens hidden only when new, and then goes over the main window.
    if (!FormPesqAV->isVisible())
        centreOn(FormPesqAV, Application::instance()->mainWindow());
    openWithFocus(FormPesqAV, FormPesqAV->Edit1);
}

QString TFormPesqAV::searchStatement(const QString& text)
{
    // The text goes into the statement literally: a quote is doubled so that
    // it cannot end the literal and the escape character stands for itself;
    // "%" keeps its meaning of "anything" and "_" of any one character.
    QString pattern = "%";
    for (const QChar c : upperEveryLetter(text)) {
        if (c == '\'')
            pattern += "''";
        else if (c == kEscape)
            pattern += QString(kEscape) + c;
        else
            pattern += c;
    }
    pattern += "%";
    const QString test = "'" + pattern + "' escape '" + kEscape + "'";
    QString sql = kHead + test;
    for (const char* joint : kJoints)
        sql += QString::fromLatin1(joint) + test;
    // The hits in the order of the patient list.
    const engine::Driver& store = databaseNamed(DataModule1->QueryPesqAv->databaseName()).driver();
    return sql + " order by " + store.indexTerms(schema::patientNameIndex()).join(", ");
}

void TFormPesqAV::BitBtn1Click()
{
    // The button and the pointer come back whatever happens, a failed search
    // included; the pointer shows the work while the statement runs.
    BitBtn1->setEnabled(false);
    BitBtn1->repaint();
    Label1->setText(kResults);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([this] {
        QApplication::restoreOverrideCursor();
        BitBtn1->setEnabled(true);
    });
    Query* query = DataModule1->QueryPesqAv;
    query->close();
    query->setSql(searchStatement(Edit1->text()));
    query->open();
    // Said where the hits show: a box would have to be closed each time.
    if (query->isEmpty())
        Label1->setText(QString::fromUtf8(kResults) + " nenhum paciente encontrado.");
    QApplication::beep();
}

void TFormPesqAV::Edit1KeyPress(QChar key)
{
    // Enter searches, even while the button is disabled.
    if (key == QChar('\r'))
        BitBtn1Click();
}

void TFormPesqAV::DBGrid1DblClick()
{
    const Query* hits = DataModule1->QueryPesqAv;
    if (!hits->active() || hits->isEmpty())
        return;
    const QVariant nf = hits->fields().front()->value();
    DataModule1->TablePac->locate("NF", nf, {true, true});
}

bool TFormPesqAV::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Edit1 && isEnterPress(event)) {
        controls::runReported([this] { Edit1KeyPress(QChar('\r')); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
