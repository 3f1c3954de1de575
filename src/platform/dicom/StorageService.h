#pragma once

#include <QString>
#include <functional>
#include <memory>

// A DICOM storage service (C-STORE SCP, built on DCMTK's DcmSCP) to which the
// echo machine sends its structured reports. It accepts the structured-report
// storage classes and verification (C-ECHO) from any calling AE title, refuses
// every other SOP class when the association is negotiated, and serves one
// association at a time. What a received document means is the receiver's
// business: the service only hands it over and answers the sender.
namespace dicom {

class StorageService {
public:
    struct Settings {
        quint16 port = 11112;
        QString aeTitle = "VELUNOR";
    };

    // What became of a received document; the sender is told.
    enum class Outcome {
        Stored,     // success
        Unreadable, // "cannot understand": sending it again changes nothing
        NotStored,  // "out of resources": the sender may try again later
    };
    // Called with the file that holds a received document (removed once the
    // receiver returns) and the sender's AE title.
    using Receiver = std::function<Outcome(const QString& file, const QString& callingAeTitle)>;
    // One line for each association, refusal or failure the service sees.
    using Log = std::function<void(const QString& line)>;

    StorageService(Settings settings, Receiver receiver, Log log);
    ~StorageService();

    // Serves until the process ends. Returns, with the reason, only when the
    // port cannot be opened.
    QString run();

private:
    class Scp;
    std::unique_ptr<Scp> m_scp;
};

} // namespace dicom
