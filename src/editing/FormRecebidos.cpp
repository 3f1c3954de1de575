#include "editing/FormRecebidos.h"

#include "clinical/Numbers.h"
#include "data/DM.h"
#include "data/controls/ControlSupport.h"
#include "platform/ui/Application.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Placement.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

TFormRecebidos* FormRecebidos = nullptr;

namespace {

QString dayText(const QDate& d) { return d.isValid() ? d.toString("dd/MM/yyyy") : QString::fromUtf8("—"); }

// Who the report says it is about: "TESTE^ANA, ID 555, nascido(a) em 10/03/2015".
QString whoText(const received::Document& d)
{
    QStringList parts{d.patientName.isEmpty() ? QString::fromUtf8("sem nome") : d.patientName};
    if (!d.patientId.isEmpty())
        parts << "ID " + d.patientId;
    if (d.birthDate.isValid())
        parts << "nascido(a) em " + dayText(d.birthDate);
    return parts.join(", ");
}

QString valuesTip(const received::Document& d)
{
    QStringList lines;
    const clinical::Values values = d.siteValues();
    for (const clinical::Site& site : clinical::sites())
        if (values.contains(site.code))
            lines << site.label() + ": " + clinical::withUnit(values.value(site.code), site);
    return lines.join('\n');
}

} // namespace

TFormRecebidos::TFormRecebidos(TDataModule1& dm, QWidget* parent) : QWidget(parent, Qt::Window), m_dm(dm)
{
    setObjectName("FormRecebidos");
    setWindowTitle(QString::fromUtf8("Documentos do ecógrafo por atribuir"));
    setFont(uiFont(11));
    resize(640, 320);
    auto* layout = new QVBoxLayout(this);

    GridDocumentos = new QTableWidget(0, 5, this);
    GridDocumentos->setObjectName("GridDocumentos");
    GridDocumentos->setHorizontalHeaderLabels({"Recebido", "Paciente no documento", "Estudo", QString::fromUtf8("Situação"),
                                               "Valores"});
    GridDocumentos->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridDocumentos->setSelectionMode(QAbstractItemView::SingleSelection);
    GridDocumentos->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridDocumentos->verticalHeader()->hide();
    GridDocumentos->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    GridDocumentos->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
    GridDocumentos->setWordWrap(false);
    layout->addWidget(GridDocumentos, 1);

    auto* target = new QHBoxLayout;
    LabelDestino = new QLabel(this);
    LabelDestino->setObjectName("LabelDestino");
    target->addWidget(LabelDestino, 1);
    ComboExames = new QComboBox(this);
    ComboExames->setObjectName("ComboExames");
    ComboExames->setMinimumWidth(150);
    target->addWidget(ComboExames);
    BotaoAtribuir = new QPushButton("Atribuir", this);
    BotaoAtribuir->setObjectName("BotaoAtribuir");
    BotaoAtribuir->setToolTip(QString::fromUtf8("O documento escolhido passa a ser deste exame; os seus valores "
                                                "esperam na página «Medições» do exame"));
    target->addWidget(BotaoAtribuir);
    layout->addLayout(target);

    auto* buttons = new QHBoxLayout;
    BotaoDescartar = new QPushButton("Descartar...", this);
    BotaoDescartar->setObjectName("BotaoDescartar");
    buttons->addWidget(BotaoDescartar);
    buttons->addStretch(1);
    BotaoFechar = new QPushButton("Fechar", this);
    BotaoFechar->setObjectName("BotaoFechar");
    buttons->addWidget(BotaoFechar);
    layout->addLayout(buttons);

    connect(BotaoAtribuir, &QPushButton::clicked, this, [this] { controls::runReported([this] { BotaoAtribuirClick(); }); });
    connect(BotaoDescartar, &QPushButton::clicked, this,
            [this] { controls::runReported([this] { BotaoDescartarClick(); }); });
    connect(BotaoFechar, &QPushButton::clicked, this, &QWidget::close);
    connect(GridDocumentos, &QTableWidget::itemSelectionChanged, this, [this] {
        BotaoDescartar->setEnabled(chosen());
        BotaoAtribuir->setEnabled(chosen() && ComboExames->count() > 0);
    });
}

TFormRecebidos::~TFormRecebidos()
{
    if (FormRecebidos == this)
        FormRecebidos = nullptr;
}

void TFormRecebidos::showWindow(TDataModule1& dm)
{
    if (!FormRecebidos) {
        FormRecebidos = new TFormRecebidos(dm);
        Application::instance()->registerComponent(FormRecebidos);
    }
    if (!FormRecebidos->isVisible())
        centreOn(FormRecebidos, Application::instance()->mainWindow());
    FormRecebidos->reload();
    FormRecebidos->show();
    FormRecebidos->raise();
    FormRecebidos->activateWindow();
}

bool TFormRecebidos::event(QEvent* event)
{
    // Back from the main window: the current patient may be another, and
    // reports may have arrived.
    if (event->type() == QEvent::WindowActivate)
        controls::runReported([this] { reload(); });
    return QWidget::event(event);
}

void TFormRecebidos::reload()
{
    const QString kept = chosen() ? chosen()->sopUid : QString();
    m_documents = received::waiting(store());
    GridDocumentos->setRowCount(0);
    for (const received::Document& d : m_documents) {
        const int r = GridDocumentos->rowCount();
        GridDocumentos->insertRow(r);
        const QStringList cells{d.received.toString("dd/MM/yyyy HH:mm"), whoText(d), dayText(d.studyDate), d.note,
                                QString::number(d.siteValues().size())};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setToolTip(c == 4 ? valuesTip(d) : cells[c]);
            GridDocumentos->setItem(r, c, item);
        }
        if (d.sopUid == kept || r == 0)
            GridDocumentos->selectRow(r);
    }
    showTarget();
}

engine::Database& TFormRecebidos::store() const { return databaseNamed(m_dm.Database2->databaseName()); }

const received::Document* TFormRecebidos::chosen() const
{
    const int row = GridDocumentos->currentRow();
    return row >= 0 && row < int(m_documents.size()) && GridDocumentos->item(row, 0)->isSelected()
        ? &m_documents[size_t(row)]
        : nullptr;
}

void TFormRecebidos::showTarget()
{
    ComboExames->clear();
    Table& patients = *m_dm.TablePac;
    Table& exams = *m_dm.TableEco;
    QString why;
    if (!patients.active() || patients.isEmpty() || patients.state() == DataSetState::Insert)
        why = QString::fromUtf8("Escolha no programa o paciente a quem o documento pertence.");
    else {
        const int nf = m_dm.TablePacCODIGO->value().toInt();
        const QVariant current = exams.state() == DataSetState::Insert ? QVariant() : m_dm.TableEcoCodigoExame->value();
        for (const received::Exam& e : received::examsOf(store(), nf)) {
            ComboExames->addItem(QString::fromUtf8("exame de %1 (%2)").arg(dayText(e.date), e.key.toString("HH:mm")),
                                 e.key);
            if (current.isValid() && current.toDateTime() == e.key)
                ComboExames->setCurrentIndex(ComboExames->count() - 1);
        }
        why = QString::fromUtf8("Atribuir a %1 (NF %2):").arg(m_dm.TablePacNOME->value().toString().trimmed()).arg(nf);
        if (ComboExames->count() == 0)
            why += QString::fromUtf8(" o paciente não tem exames gravados.");
    }
    LabelDestino->setText(why);
    BotaoAtribuir->setEnabled(chosen() && ComboExames->count() > 0);
    BotaoDescartar->setEnabled(chosen());
}

void TFormRecebidos::BotaoAtribuirClick()
{
    const received::Document* d = chosen();
    if (!d || ComboExames->currentIndex() < 0)
        return;
    const int nf = m_dm.TablePacCODIGO->value().toInt();
    const QString name = m_dm.TablePacNOME->value().toString().trimmed();
    const QDate born = m_dm.TablePacDNASC->value().toDateTime().date();
    // Whom the report names matters more than any choice in a list.
    const bool same = received::nameKey(d->patientName) == received::nameKey(name)
        && (!d->birthDate.isValid() || d->birthDate == born);
    if (!same
        && !Application::askYesNo(QString::fromUtf8("O documento é de %1.\nO paciente actual é %2 (NF %3), "
                                                    "nascido(a) em %4.\n\nAtribuir-lhe mesmo assim o documento?")
                                      .arg(whoText(*d), name)
                                      .arg(nf)
                                      .arg(dayText(born)),
                                  false))
        return;
    received::assign(store(), d->sopUid, {double(nf), ComboExames->currentData()});
    reload();
    m_dm.Measurements->readReceived();
}

void TFormRecebidos::BotaoDescartarClick()
{
    const received::Document* d = chosen();
    if (!d)
        return;
    if (!Application::askYesNo(QString::fromUtf8("Descartar o documento de %1, %2?\n\nO documento e os seus valores "
                                                 "são apagados e não podem ser recuperados.")
                                   .arg(whoText(*d), d->label()),
                               false))
        return;
    received::discard(store(), d->sopUid);
    reload();
    m_dm.Measurements->readReceived();
}
