#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace engine {
class Database;
}

// The commands of velunor-admin. Each returns the process exit code and
// writes its messages to `out` (results) and `err` (problems).
namespace admin {

struct Io {
    QTextStream& out;
    QTextStream& err;
};

int aliasCommand(const QStringList& args, Io io);
int createCommand(const QString& alias, Io io);
int demoCommand(const QString& alias, int patients, int examsPerPatient, Io io);
int checkCommand(const QString& alias, Io io);
int exportReportCommand(const QString& alias, int patient, int exam, const QString& file, Io io);
// Brings the tables of the practice's former store in `dir` into the store of
// `alias`, all or nothing; refuses a store that holds records unless `replace`.
int importCommand(const QString& alias, const QString& dir, bool replace, Io io);
// The exam report of patient `patient`'s exam `examKey` (its CodigoExame,
// "-" for none) as a PDF file, composed as the program prints it.
int reportPdfCommand(const QString& alias, int patient, const QString& examKey, const QString& file, Io io);
// A consistent copy of the store of `alias` in `file` (by default in the
// current directory, named after the alias and the date and time).
int backupCommand(const QString& alias, const QString& file, Io io);
// Puts the copy in `file` in the place of the store of `alias`, once it is
// checked, and keeps the replaced store aside; refuses while it is in use.
int restoreCommand(const QString& alias, const QString& file, Io io);
// "export ALIAS FILE" / "import ALIAS FILE": the standard phrases to and from
// a CSV file (UTF-8, "Frase;Outros"). An import adds to the phrases there
// are, all or none: a malformed file is refused whole, naming the line.
int phrasesCommand(const QStringList& args, Io io);

// Body surface area: --height CM --weight KG [--formula haycock|dubois|mosteller].
int bsaCommand(const QStringList& args, Io io);
// One z-score: SITE VALUE and the body (--bsa, --height and --weight, or
// --weeks), optionally --reference and --formula. Exit code 2 when it cannot
// be computed (a site the reference lacks, a body value missing).
int zscoreCommand(const QStringList& args, Io io);
// The measurements of patient `patient`'s exam `examKey` (its CodigoExame),
// as text or as CSV (codigo;valor;unidade;origem;referencia;z).
int measurementsCommand(const QString& alias, int patient, const QString& examKey, bool csv, Io io);
// One measurement (site code `site`) across patient `patient`'s exams,
// oldest first: as text, or as CSV (data;idade_meses;valor;unidade;sc;
// referencia;z); with `png`, also drawn in that file at 1600 x 1000 pixels.
int trendCommand(const QString& alias, int patient, const QString& site, bool csv, const QString& png, Io io);
// Shows the practice's BSA formula and preferred reference; --formula and
// --reference change them.
int settingsCommand(const QString& alias, const QStringList& args, Io io);
// Reads the echo machine's structured reports in `files` and keeps their
// measurements in the store of `alias`, each file on its own: a line per file
// says whom it belongs to and what is used; exit code 1 if any failed.
int dicomImportCommand(const QString& alias, const QStringList& files, Io io);
// The DICOM storage service that receives the reports: runs until stopped.
int dicomListenCommand(const QString& alias, quint16 port, const QString& aeTitle, Io io);

// Creates every stored table that is missing; refuses, naming the table, when
// a table that exists holds records. Returns false after reporting.
bool createTables(engine::Database& db, Io io);

// Fills an empty store with demo data (the tables must exist).
void fillDemo(engine::Database& db, int patients, int examsPerPatient, Io io);
// Gives the demo exams of the first thousand patients measurements by their
// size, inside fillDemo's transaction.
void fillDemoMeasurements(engine::Database& db, Io io);

} // namespace admin
