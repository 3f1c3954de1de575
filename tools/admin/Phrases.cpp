#include "Admin.h"

#include "data/Schema.h"
#include "platform/engine/Database.h"
#include "platform/engine/StoredTable.h"

#include <QFile>
#include <QSaveFile>

// The standard phrases to and from a CSV file, for a spreadsheet or another
// practice: UTF-8, a title line "Frase;Outros", one phrase a line, ";"
// between the columns, a field holding ";", a quote or a line break between
// quotes (its quotes doubled).

using engine::Database;

namespace admin {

namespace {

const QString kTitles = "Frase;Outros";
const qsizetype kLongest = 200; // characters, both columns

QString csvField(const QString& text)
{
    if (!text.contains(';') && !text.contains('"') && !text.contains('\n') && !text.contains('\r'))
        return text;
    return '"' + QString(text).replace('"', "\"\"") + '"';
}

struct CsvLine {
    int line; // where it starts in the file
    QStringList fields;
};

// Why a file cannot be read as CSV, and where.
struct Refusal {
    int line;
    QString why;
};

bool isLineEnd(QChar c) { return c == '\n' || c == '\r'; }

// One field from `at`, moving it past the field; `line` follows the line
// breaks inside quotes.
QString readField(const QString& text, qsizetype& at, int& line)
{
    QString field;
    if (at < text.size() && text[at] == '"') {
        const int opened = line;
        for (++at;; ++at) {
            if (at == text.size())
                throw Refusal{opened, "as aspas abertas nesta linha não se fecham"};
            if (text[at] == '"' && at + 1 < text.size() && text[at + 1] == '"')
                ++at;
            else if (text[at] == '"')
                break;
            if (text[at] == '\n')
                ++line;
            field += text[at];
        }
        ++at;
        if (at < text.size() && text[at] != ';' && !isLineEnd(text[at]))
            throw Refusal{line, "depois das aspas que fecham um campo só pode vir ; ou o fim da linha"};
        return field;
    }
    for (; at < text.size() && text[at] != ';' && !isLineEnd(text[at]); ++at) {
        if (text[at] == '"')
            throw Refusal{line, "há aspas num campo que não começa por aspas"};
        field += text[at];
    }
    return field;
}

// Every line of the file but the blank ones.
std::vector<CsvLine> readCsv(const QString& text)
{
    std::vector<CsvLine> lines;
    int line = 1;
    for (qsizetype at = 0; at < text.size(); ++line) {
        CsvLine read{line, {}};
        read.fields << readField(text, at, line);
        while (at < text.size() && text[at] == ';')
            read.fields << readField(text, ++at, line);
        if (at < text.size() && text[at] == '\r')
            ++at;
        if (at < text.size() && text[at] == '\n')
            ++at;
        if (read.fields != QStringList{QString()})
            lines.push_back(std::move(read));
    }
    return lines;
}

// The text of a UTF-8 file, a leading byte-order mark dropped. A line is
// UTF-8 when it reads back to the same bytes.
QString decodeUtf8(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QList<QByteArray> lines = bytes.split('\n');
    for (int i = 0; i < lines.size(); ++i)
        if (QString::fromUtf8(lines[i]).toUtf8() != lines[i])
            throw Refusal{i + 1, "o texto não está em UTF-8"};
    return QString::fromUtf8(bytes);
}

// The phrases of the file as rows of the phrase table (the number is the
// store's to give).
std::vector<engine::Row> phrasesOf(const QByteArray& bytes)
{
    const std::vector<CsvLine> lines = readCsv(decodeUtf8(bytes));
    if (lines.empty() || lines.front().fields.join(';') != kTitles)
        throw Refusal{lines.empty() ? 1 : lines.front().line, "a primeira linha deve ser " + kTitles};
    std::vector<engine::Row> phrases;
    for (auto it = lines.begin() + 1; it != lines.end(); ++it) {
        if (it->fields.size() != 2)
            throw Refusal{it->line, QString("tem %1 campo(s); cada linha tem 2, %2").arg(it->fields.size()).arg(kTitles)};
        engine::Row phrase{QVariant()};
        for (int c = 0; c < 2; ++c) {
            const QString& field = it->fields[c];
            if (const qsizetype n = field.toUcs4().size(); n > kLongest)
                throw Refusal{it->line, QString("%1 tem %2 caracteres; o máximo é %3")
                                            .arg(c == 0 ? "a frase" : "a observação").arg(n).arg(kLongest)};
            // An empty field is an empty column, as the export writes one.
            phrase << (field.isEmpty() ? QVariant() : QVariant(field));
        }
        phrases.push_back(std::move(phrase));
    }
    return phrases;
}

int exportPhrases(Database& db, const QString& file, Io io)
{
    engine::StoredTable table(db, schema::tableFrase());
    const std::vector<engine::Record> phrases = table.read();
    QString text = kTitles + '\n';
    for (const engine::Record& phrase : phrases)
        text += csvField(phrase.values[1].toString()) + ';' + csvField(phrase.values[2].toString()) + '\n';
    const QByteArray bytes = text.toUtf8();
    QSaveFile target(file);
    if (!target.open(QIODevice::WriteOnly) || target.write(bytes) != bytes.size() || !target.commit()) {
        io.err << "velunor-admin: " << file << ": " << target.errorString() << "\n";
        return 1;
    }
    io.out << phrases.size() << " frase(s) gravada(s) em " << file << ".\n";
    return 0;
}

int importPhrases(Database& db, const QString& file, Io io)
{
    QFile source(file);
    if (!source.open(QIODevice::ReadOnly)) {
        io.err << "velunor-admin: " << file << ": " << source.errorString() << "\n";
        return 1;
    }
    std::vector<engine::Row> phrases;
    try {
        phrases = phrasesOf(source.readAll());
    } catch (const Refusal& refusal) {
        io.err << "velunor-admin: " << file << ", linha " << refusal.line << ": " << refusal.why
               << ". Nenhuma frase foi importada.\n";
        return 1;
    }
    engine::StoredTable table(db, schema::tableFrase());
    db.driver().begin();
    try {
        for (const engine::Row& phrase : phrases)
            table.insert(phrase);
    } catch (...) {
        db.driver().rollback();
        throw;
    }
    db.driver().commit();
    io.out << phrases.size() << " frase(s) de " << file << " acrescentada(s) às frases de "
           << db.driver().describeTarget() << ".\n";
    return 0;
}

} // namespace

int phrasesCommand(const QStringList& args, Io io)
{
    const QString sub = args.value(0);
    if (args.size() != 3 || (sub != "export" && sub != "import")) {
        io.err << "velunor-admin: use phrases export NOME FICHEIRO.csv ou phrases import NOME FICHEIRO.csv\n";
        return 2;
    }
    auto db = Database::connect(args[1], "ADMIN");
    return sub == "export" ? exportPhrases(*db, args[2], io) : importPhrases(*db, args[2], io);
}

} // namespace admin
