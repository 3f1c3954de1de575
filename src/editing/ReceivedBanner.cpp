#include "editing/ReceivedBanner.h"

#include "clinical/Numbers.h"
#include "data/DM.h"
#include "data/controls/ControlSupport.h"
#include "editing/FormRecebidos.h"
#include "platform/ui/Application.h"
#include "platform/ui/Colours.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

using clinical::Site;

namespace {

const QColor kReceived(214, 234, 248); // pale blue: from outside, not yet the exam's
const int kPollMs = 5000;              // how soon a report sent meanwhile shows

QPushButton* button(QWidget* parent, const char* name, const QString& caption, const QString& hint)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QTableWidgetItem* item(const QString& text, bool unused = false)
{
    auto* i = new QTableWidgetItem(text);
    i->setToolTip(text);
    i->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (unused)
        i->setForeground(Qt::darkGray);
    return i;
}

// One value per site: the latest study's where several reports measure it.
clinical::Values chosenValues(const std::vector<received::Document>& documents)
{
    clinical::Values chosen;
    for (const received::Document& d : documents) { // oldest study first
        const clinical::Values values = d.siteValues();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            chosen.insert(it.key(), it.value());
    }
    return chosen;
}

} // namespace

ReceivedBanner::ReceivedBanner(QWidget* parent) : QFrame(parent), m_poll(new QTimer(this))
{
    setObjectName("PainelRecebidas");
    setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    fillBackground(this, kReceived);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
    auto* row = new QHBoxLayout;
    LabelRecebidas = new QLabel(this);
    LabelRecebidas->setObjectName("LabelRecebidas");
    row->addWidget(LabelRecebidas);
    BotaoVerRecebidas = button(this, "BotaoVerRecebidas", "Ver valores",
                               QString::fromUtf8("Os valores recebidos, o que diz o ecógrafo de cada um e de que "
                                                 "documento vêm"));
    BotaoVerRecebidas->setCheckable(true);
    row->addWidget(BotaoVerRecebidas);
    BotaoAplicar = button(this, "BotaoAplicar", "Aplicar",
                          QString::fromUtf8("Preenche as medições vazias com os valores recebidos (pergunta antes "
                                            "de substituir um valor já escrito); grave o exame para os guardar"));
    row->addWidget(BotaoAplicar);
    row->addStretch(1);
    BotaoPorAtribuir = button(this, "BotaoPorAtribuir", QString(),
                              QString::fromUtf8("Documentos recebidos do ecógrafo que esperam por um paciente ou "
                                                "por um exame"));
    row->addWidget(BotaoPorAtribuir);
    layout->addLayout(row);

    GridRecebidas = new QTableWidget(0, 4, this);
    GridRecebidas->setObjectName("GridRecebidas");
    GridRecebidas->setHorizontalHeaderLabels(
        {QString::fromUtf8("Medição"), "Valor", "Nota", "Documento"});
    GridRecebidas->verticalHeader()->hide();
    GridRecebidas->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    // The note takes what the others leave; a long name is cut, and its tip says it all.
    QHeaderView* columns = GridRecebidas->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::ResizeToContents);
    columns->setSectionResizeMode(0, QHeaderView::Interactive);
    columns->setSectionResizeMode(2, QHeaderView::Stretch);
    columns->setSectionResizeMode(3, QHeaderView::Interactive);
    GridRecebidas->setColumnWidth(0, 190);
    GridRecebidas->setColumnWidth(3, 170);
    GridRecebidas->setWordWrap(false);
    GridRecebidas->setTextElideMode(Qt::ElideRight);
    GridRecebidas->setMaximumHeight(130);
    GridRecebidas->hide();
    layout->addWidget(GridRecebidas);
    // Under the values, where the doctor sees whose they are.
    BotaoDevolver = button(this, "BotaoDevolver", QString::fromUtf8("Não é deste exame..."),
                           QString::fromUtf8("Devolve os documentos recebidos à lista dos que esperam por um "
                                             "paciente ou por um exame, para os dar ao exame certo"));
    BotaoDevolver->hide();
    layout->addWidget(BotaoDevolver, 0, Qt::AlignRight);
    hide();

    connect(BotaoVerRecebidas, &QPushButton::toggled, this, [this] {
        if (m_dm)
            refresh(m_dm);
    });
    connect(BotaoAplicar, &QPushButton::clicked, this, [this] { controls::runReported([this] { BotaoAplicarClick(); }); });
    connect(BotaoDevolver, &QPushButton::clicked, this, [this] { controls::runReported([this] { BotaoDevolverClick(); }); });
    connect(BotaoPorAtribuir, &QPushButton::clicked, this, [this] {
        if (m_dm)
            TFormRecebidos::showWindow(*m_dm);
    });
    // Reports arrive while the exam is open: the store is asked again now
    // and then, while the page shows.
    m_poll->setInterval(kPollMs);
    connect(m_poll, &QTimer::timeout, this, [this] {
        if (m_dm && m_dm->Measurements && parentWidget() && parentWidget()->isVisible())
            m_dm->Measurements->readReceived();
    });
    m_poll->start();
}

void ReceivedBanner::refresh(TDataModule1* dm)
{
    m_dm = dm;
    const std::vector<received::Document> documents = dm->Measurements->received();
    const int waiting = dm->Measurements->waitingCount();
    const bool forExam = !documents.empty();
    const bool applied = dm->Measurements->receivedApplied();
    LabelRecebidas->setText(forExam ? QString::fromUtf8("Medições recebidas do ecógrafo (%1)").arg(documents.size())
                                    : QString::fromUtf8("Medições do ecógrafo aplicadas: grave o exame para as "
                                                        "guardar."));
    LabelRecebidas->setVisible(forExam || applied);
    BotaoVerRecebidas->setVisible(forExam);
    BotaoAplicar->setVisible(forExam);
    GridRecebidas->setVisible(forExam && BotaoVerRecebidas->isChecked());
    BotaoDevolver->setVisible(forExam && !applied && BotaoVerRecebidas->isChecked());
    BotaoPorAtribuir->setText(QString::fromUtf8("Documentos do ecógrafo por atribuir (%1)...").arg(waiting));
    BotaoPorAtribuir->setVisible(waiting > 0);
    setVisible(forExam || applied || waiting > 0);
    showValues(documents);
}

void ReceivedBanner::showValues(const std::vector<received::Document>& documents)
{
    GridRecebidas->setRowCount(0);
    for (const received::Document& d : documents) {
        for (const received::Value& v : d.values) {
            const Site* site = clinical::findSite(v.code);
            const QString value = !v.value ? QString()
                : site                     ? clinical::withUnit(*v.value, *site)
                                           : (QString::number(*v.value) + " " + v.unit).trimmed();
            const int r = GridRecebidas->rowCount();
            GridRecebidas->insertRow(r);
            GridRecebidas->setItem(r, 0, item(site ? site->label() : v.meaning, !site));
            GridRecebidas->setItem(r, 1, item(value, !site));
            GridRecebidas->setItem(r, 2, item(site ? v.note : QString::fromUtf8("não usado: ") + v.note, !site));
            GridRecebidas->setItem(r, 3, item(d.label(), !site));
            GridRecebidas->item(r, 1)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
    }
}

void ReceivedBanner::BotaoAplicarClick()
{
    if (!m_dm)
        return;
    ExamMeasurements& measurements = *m_dm->Measurements;
    if (!m_dm->TableEco->editing())
        m_dm->TableEco->edit(); // a locked exam shows its message and ends the command here
    const std::vector<received::Document> documents = measurements.received();
    if (documents.empty())
        return;
    const clinical::Values chosen = chosenValues(documents);
    const clinical::Values typed = measurements.values();
    QStringList replaced;
    for (const Site& site : clinical::sites()) {
        const auto now = typed.find(site.code);
        if (chosen.contains(site.code) && now != typed.end() && *now != chosen.value(site.code))
            replaced << QString::fromUtf8("%1: %2 → %3")
                            .arg(site.label(), clinical::withUnit(*now, site),
                                 clinical::withUnit(chosen.value(site.code), site));
    }
    const bool replace = replaced.isEmpty()
        || Application::askYesNo(QString::fromUtf8("Substituir os valores já escritos pelos recebidos do "
                                                   "ecógrafo?\n\n%1\n\n«Não» guarda os valores escritos e preenche "
                                                   "só as medições vazias.")
                                     .arg(replaced.join('\n')),
                                 false);
    for (const Site& site : clinical::sites()) // the page's order: Ved before Ves
        if (chosen.contains(site.code) && (replace || !typed.contains(site.code)))
            measurements.setValue(site, chosen.value(site.code));
    QStringList uids;
    for (const received::Document& d : documents)
        uids << d.sopUid;
    measurements.applyReceived(uids);
}

void ReceivedBanner::BotaoDevolverClick()
{
    if (!m_dm || m_dm->Measurements->receivedApplied())
        return;
    const std::vector<received::Document> documents = m_dm->Measurements->received();
    const QString question = documents.size() == 1
        ? QString::fromUtf8("O documento recebido do ecógrafo para este exame não é dele?\n\nVolta à lista dos "
                            "documentos por atribuir, onde o pode dar ao exame certo ou descartar.")
        : QString::fromUtf8("Os %1 documentos recebidos do ecógrafo para este exame não são dele?\n\nVoltam à "
                            "lista dos documentos por atribuir, onde os pode dar ao exame certo ou descartar.")
              .arg(documents.size());
    if (documents.empty() || !Application::askYesNo(question, false))
        return;
    engine::Database& store = databaseNamed(m_dm->Database2->databaseName());
    for (const received::Document& d : documents)
        received::release(store, d.sopUid);
    m_dm->Measurements->readReceived();
}
