#include "platform/dicom/StorageService.h"

#include <QFile>
#include <QTemporaryDir>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/scp.h>
#include <dcmtk/oflog/oflog.h>

namespace dicom {

namespace {

const char* const kReportClasses[] = {UID_BasicTextSRStorage, UID_EnhancedSRStorage, UID_ComprehensiveSRStorage,
                                      UID_Comprehensive3DSRStorage, UID_ExtensibleSRStorage};

QString text(const OFString& s) { return QString::fromUtf8(s.c_str(), qsizetype(s.length())); }

// A SOP class by its name where DCMTK knows it: "CT Image Storage (1.2.840...)".
QString sopClassName(const char* uid)
{
    const char* name = dcmFindNameOfUID(uid, nullptr);
    return name ? QString("%1 (%2)").arg(QString::fromLatin1(name), QString::fromLatin1(uid)) : QString::fromLatin1(uid);
}

} // namespace

class StorageService::Scp : public DcmSCP {
public:
    Scp(const Settings& settings, Receiver receiver, Log log) : m_receiver(std::move(receiver)), m_log(std::move(log))
    {
        DcmSCPConfig& config = getConfig();
        config.setPort(settings.port);
        config.setAETitle(settings.aeTitle.toStdString().c_str());
        // A sender that stops answering does not hold the service, nor does
        // a name server that is slow to name the sender (its address is logged).
        config.setACSETimeout(30);
        config.setHostLookupEnabled(OFFalse);
        // A report travels in a few large pieces rather than many of 16 kB.
        config.setMaxReceivePDULength(ASC_MAXIMUMPDUSIZE);
        config.setDIMSEBlockingMode(DIMSE_NONBLOCKING);
        config.setDIMSETimeout(60);
        OFList<OFString> syntaxes;
        for (const char* uid : {UID_LittleEndianExplicitTransferSyntax, UID_LittleEndianImplicitTransferSyntax,
                                UID_BigEndianExplicitTransferSyntax, UID_DeflatedExplicitVRLittleEndianTransferSyntax})
            syntaxes.push_back(uid);
        for (const char* uid : kReportClasses)
            addPresentationContext(uid, syntaxes);
        setEnableVerification();
    }

    QString spoolProblem() const
    {
        return m_spool.isValid() ? QString()
                                 : QString("o directório temporário %1 não pode ser criado.").arg(m_spool.path());
    }

protected:
    // One line per association; the SOP classes refused are named when the
    // sender proposes nothing the service takes (a machine proposes only what
    // it means to send).
    void notifyAssociationRequest(const T_ASC_Parameters& params, DcmSCPActionType& action) override
    {
        DcmSCP::notifyAssociationRequest(params, action);
        auto* proposed = const_cast<T_ASC_Parameters*>(&params);
        QStringList refused;
        int accepted = 0;
        for (int i = 0; i < ASC_countPresentationContexts(proposed); ++i) {
            T_ASC_PresentationContext context;
            if (ASC_getPresentationContext(proposed, i, &context).bad())
                continue;
            if (accepts(context.abstractSyntax))
                ++accepted;
            else if (const QString name = sopClassName(context.abstractSyntax); !refused.contains(name))
                refused << name;
        }
        QString line = QString("Ligação de %1 (%2)").arg(text(getPeerAETitle()).trimmed(), text(getPeerIP()));
        if (accepted == 0)
            line += ": recusada, nenhuma das classes SOP propostas é um relatório estruturado ou a verificação: "
                + refused.join(", ");
        m_log(line + ".");
    }

    OFCondition handleIncomingCommand(T_DIMSE_Message* message, const DcmPresentationContextInfo& context) override
    {
        if (message->CommandField != DIMSE_C_STORE_RQ)
            return DcmSCP::handleIncomingCommand(message, context); // verification, and refusals
        T_DIMSE_C_StoreRQ& request = message->msg.CStoreRQ;
        const QString file = m_spool.filePath(QString("recebido-%1.dcm").arg(++m_received));
        const OFCondition received = receiveSTORERequest(request, context.presentationContextID, file.toStdString().c_str());
        Uint16 status = STATUS_STORE_Refused_OutOfResources;
        if (received.good()) {
            switch (m_receiver(file, text(getPeerAETitle()).trimmed())) {
            case Outcome::Stored:
                status = STATUS_Success;
                break;
            case Outcome::Unreadable:
                status = STATUS_STORE_Error_CannotUnderstand;
                break;
            case Outcome::NotStored:
                break;
            }
        } else {
            m_log(QString("A recepção de um documento de %1 falhou: %2.")
                      .arg(text(getPeerAETitle()).trimmed(), QString::fromUtf8(received.text())));
        }
        QFile::remove(file);
        return received.good() ? sendSTOREResponse(context.presentationContextID, request, status) : received;
    }

private:
    static bool accepts(const char* sopClass)
    {
        if (qstrcmp(sopClass, UID_VerificationSOPClass) == 0)
            return true;
        for (const char* uid : kReportClasses)
            if (qstrcmp(sopClass, uid) == 0)
                return true;
        return false;
    }

    Receiver m_receiver;
    Log m_log;
    QTemporaryDir m_spool;
    int m_received = 0;
};

StorageService::StorageService(Settings settings, Receiver receiver, Log log)
{
    OFLog::configure(OFLogger::OFF_LOG_LEVEL); // the service says what matters itself
    // DCMTK leaves Nagle's algorithm on unless TCP_NODELAY says otherwise;
    // with it, the answer to each report waited for the sender's delayed
    // acknowledgement (some 40 ms a report on Linux).
    if (!qEnvironmentVariableIsSet("TCP_NODELAY"))
        qputenv("TCP_NODELAY", "1");
    m_scp = std::make_unique<Scp>(settings, std::move(receiver), std::move(log));
}

StorageService::~StorageService() = default;

QString StorageService::run()
{
    if (const QString problem = m_scp->spoolProblem(); !problem.isEmpty())
        return problem;
    const OFCondition ended = m_scp->listen();
    return QString::fromUtf8(ended.text());
}

} // namespace dicom
