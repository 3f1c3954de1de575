#include "Admin.h"
#include "BulkInsert.h"

#include "data/Schema.h"
#include "platform/engine/AliasRegistry.h"
#include "platform/engine/Database.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/Values.h"
#include "platform/paradox/ParadoxTable.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

using engine::Database;
using engine::EngineError;
using engine::FieldDef;
using engine::FieldType;
using engine::TableDef;
using paradox::Field;

namespace admin {

namespace {

using PType = paradox::FieldType;

// At most this many unreadable values are listed per table; the rest are counted.
constexpr int kListedProblems = 20;

// The optional table: the store of standard conclusions, brought across when
// the directory has it.
const char* const kOptionalTable = "Conclusao.DB";

// A key that other tables refer to: the store's next number must come after
// the highest reference too, or a new record would inherit what an old
// deleted one left behind (the exams of a deleted patient).
struct Reference {
    const char* table;
    const char* column;
    const char* fromTable;
    const char* fromColumn;
};
const Reference kReferences[] = {
    {"Bddid.DB", "NF", "eco.DB", "CodigoPaciente"},
    {"Medico.DB", "CODIGO", "eco.DB", "Executor"},
};

// One old table and where its columns go.
struct Source {
    TableDef def;
    std::unique_ptr<paradox::Table> table;
    std::vector<FieldDef> targets;  // per old field: the store's column
    QStringList required;           // store columns that may not be empty
    QStringList notes;
    int read = 0;
    int written = 0;
    QStringList problems;
    int unlisted = 0;
};

// The store's column type for an old column the store lacks.
FieldDef columnFor(const Field& f)
{
    switch (f.type) {
    case PType::Alpha: return {f.name, FieldType::String, f.size};
    case PType::Date: return {f.name, FieldType::Date};
    case PType::Short: return {f.name, FieldType::SmallInt};
    case PType::Long:
    case PType::AutoIncrement: return {f.name, FieldType::Integer};
    case PType::Currency:
    case PType::Number: return {f.name, FieldType::Float};
    case PType::Logical: return {f.name, FieldType::Boolean};
    case PType::Time: return {f.name, FieldType::String, 12};
    case PType::Timestamp: return {f.name, FieldType::DateTime};
    default: return {f.name, FieldType::Memo}; // memos; binary data as hexadecimal text
    }
}

// Whether every value of old field `f` has a place in a column of `type`.
bool fits(const Field& f, FieldType type)
{
    if (type == FieldType::String || type == FieldType::Memo)
        return true;
    switch (f.type) {
    case PType::Short:
    case PType::Long:
    case PType::AutoIncrement:
    case PType::Currency:
    case PType::Number:
        return type == FieldType::AutoInc || type == FieldType::Integer || type == FieldType::SmallInt
            || type == FieldType::Float;
    case PType::Date:
    case PType::Timestamp: return type == FieldType::Date || type == FieldType::DateTime;
    case PType::Logical: return type == FieldType::Boolean;
    default: return false;
    }
}

// The text of a memo: the RTF of a report keeps its bytes as they are (its
// own escapes say what they mean); other text comes from the table's code page.
QString memoText(const paradox::Table& table, QByteArray bytes)
{
    while (bytes.endsWith('\0'))
        bytes.chop(1);
    if (bytes.contains('\0'))
        throw QString("o texto contém o carácter NUL.");
    return bytes.startsWith("{\\rtf") ? QString::fromLatin1(bytes) : table.text(bytes);
}

// `value` of old field `f` as column `to` of the store keeps it; throws the
// reason when it has no place there.
QVariant convert(const paradox::Table& table, const Field& f, const QVariant& value, const FieldDef& to)
{
    if (!value.isValid())
        return {};
    QVariant v = value;
    if (value.typeId() == QMetaType::QByteArray)
        v = f.isBinary() ? QString::fromLatin1(value.toByteArray().toHex()) : memoText(table, value.toByteArray());
    switch (to.type) {
    case FieldType::AutoInc:
    case FieldType::Integer:
    case FieldType::SmallInt: {
        const double d = v.toDouble();
        const double limit = to.type == FieldType::SmallInt ? 32767 : 2147483647;
        if (d != std::floor(d) || d > limit || d < -limit - 1)
            throw QString("%1 não cabe na coluna %2 (%3).").arg(d).arg(to.name, engine::typeName(to.type));
        return int(d);
    }
    case FieldType::Date:
        if (v.typeId() == QMetaType::QDateTime && v.toDateTime().time() != QTime(0, 0))
            throw QString("tem hora (%1) e a coluna %2 só guarda o dia.")
                .arg(v.toDateTime().time().toString("HH:mm"), to.name);
        break;
    case FieldType::String: {
        const QString text = engine::values::coerce(FieldType::String, v).toString();
        if (text.size() > to.size)
            throw QString("tem %1 caracteres e a coluna %2 só guarda %3.").arg(text.size()).arg(to.name).arg(to.size);
        return text;
    }
    default:
        break;
    }
    return engine::values::coerce(to.type, v);
}

// Where the old columns go: a column of the same name (whatever its case),
// or a new one; a text column too narrow for the old one is widened.
QStringList plan(Database& db, Source& s, QStringList* statements)
{
    const auto info = db.describe(s.def.fileName);
    engine::Driver& driver = db.driver();
    const QString table = driver.ident(engine::sqlTableName(s.def.fileName));
    QStringList problems;
    for (const Field& f : s.table->fields()) {
        const engine::StoredColumn* column = info->column(f.name);
        if (!column) {
            const FieldDef added = columnFor(f);
            *statements << "alter table " + table + " add column " + driver.ident(f.name) + " "
                    + driver.columnDeclaration(added, false);
            s.notes << QString("coluna %1 acrescentada (%2).").arg(f.name, engine::typeName(added.type, added.size));
            s.targets.push_back(added);
            continue;
        }
        FieldDef target{column->name, column->type.value_or(FieldType::Memo), column->size};
        if (!column->type || !fits(f, target.type)) {
            problems << QString("%1: o campo %2 (%3) não cabe na coluna %2 do Velunor (%4).")
                            .arg(s.table->fileName(), f.name, paradox::typeName(f.type),
                                 column->type ? engine::typeName(*column->type, column->size) : column->storedType);
            continue;
        }
        if (target.type == FieldType::String && f.type == PType::Alpha && f.size > target.size) {
            target.size = f.size;
            // SQLite keeps text of any length whatever the declared width.
            if (driver.kind() == "postgres")
                *statements << "alter table " + table + " alter column " + driver.ident(column->name) + " type "
                        + driver.columnDeclaration(target, false);
            s.notes << QString("coluna %1 alargada para %2 caracteres.").arg(column->name).arg(f.size);
        }
        s.targets.push_back(target);
    }
    return problems;
}

// Reads every record of `s` and writes it; a value that cannot be read or
// kept stops the writing and is listed.
void copy(Database& db, Source& s)
{
    QStringList columns;
    std::vector<bool> required;
    for (const FieldDef& t : s.targets) {
        columns << t.name;
        required.push_back(s.required.contains(t.name, Qt::CaseInsensitive));
    }
    BulkInsert rows(db, s.def.fileName, columns);
    const int count = int(s.targets.size());
    auto problem = [&](const QString& text) {
        if (s.problems.size() < kListedProblems)
            s.problems << text;
        else
            ++s.unlisted;
    };
    try {
        while (s.table->next()) {
            ++s.read;
            QVariantList row;
            row.reserve(count);
            bool ok = true;
            for (int i = 0; i < count; ++i) {
                const Field& f = s.table->fields()[i];
                try {
                    row << convert(*s.table, f, s.table->value(i), s.targets[i]);
                    if (required[i] && !row.back().isValid())
                        throw QString("está vazio e o Velunor exige-o.");
                } catch (const paradox::Error& e) {
                    problem(e.text());
                    ok = false;
                } catch (const QString& why) {
                    problem(QString("%1, registo %2, campo %3: %4")
                                .arg(s.table->fileName())
                                .arg(s.table->position())
                                .arg(f.name, why));
                    ok = false;
                }
            }
            if (ok && s.problems.isEmpty()) {
                rows.add(row);
                ++s.written;
            }
        }
        if (s.problems.isEmpty())
            rows.flush();
    } catch (const paradox::Error& e) {
        problem(e.text());
    } catch (const EngineError& e) {
        problem(QString("%1: %2").arg(s.def.fileName, e.text()));
    }
    if (!s.problems.isEmpty())
        s.written = 0;
}

// The highest number `column` of `table` holds or is referred to by.
qint64 highestKey(Database& db, const QString& table, const QString& column)
{
    auto highest = [&](const QString& t, const QString& c) {
        const auto r = db.query("select max(" + db.driver().ident(c) + ") from " + db.driver().ident(engine::sqlTableName(t)));
        return r.rows.empty() ? 0 : qint64(std::ceil(r.rows.front().front().toDouble()));
    };
    qint64 top = highest(table, column);
    for (const Reference& ref : kReferences)
        if (table.compare(ref.table, Qt::CaseInsensitive) == 0 && db.describe(ref.fromTable))
            top = qMax(top, highest(ref.fromTable, ref.fromColumn));
    return top;
}

// Makes the store's autoincrement go on after the highest imported number.
void continueNumbering(Database& db, Source& s)
{
    for (const FieldDef& c : s.def.columns) {
        if (c.type != FieldType::AutoInc)
            continue;
        const qint64 top = highestKey(db, s.def.fileName, c.name);
        const QString table = engine::sqlTableName(s.def.fileName);
        if (db.driver().kind() == "sqlite") {
            db.execute("delete from sqlite_sequence where name = :t", {table});
            db.execute("insert into sqlite_sequence (name, seq) values (:t, :s)", {table, top});
        } else {
            db.query("select setval(pg_get_serial_sequence(:t, :c), :v, :called)",
                     {table, c.name.toLower(), qMax<qint64>(top, 1), top > 0});
        }
        s.notes << QString("o próximo %1 será %2.").arg(c.name).arg(top + 1);
    }
}

QString fileIn(const QDir& dir, const QString& name)
{
    for (const QString& entry : dir.entryList(QDir::Files))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return {};
}

void printSummary(const std::vector<Source>& sources, QTextStream& out)
{
    out << QString("%1 %2 %3 %4 %5 %6\n")
               .arg("Tabela", -14)
               .arg("Ficheiro", -14)
               .arg("Versão", -6)
               .arg("Cód. página", -11)
               .arg("Lidos", 8)
               .arg("Gravados", 9);
    for (const Source& s : sources)
        out << QString("%1 %2 %3 %4 %5 %6\n")
                   .arg(s.def.fileName, -14)
                   .arg(s.table->fileName(), -14)
                   .arg(s.table->version(), -6)
                   .arg(s.table->codePage(), -11)
                   .arg(s.read, 8)
                   .arg(s.written, 9);
    for (const Source& s : sources)
        for (const QString& note : s.notes)
            out << s.def.fileName << ": " << note << "\n";
}

} // namespace

int importCommand(const QString& aliasName, const QString& dirPath, bool replace, Io io)
{
    const QDir dir(dirPath);
    if (!dir.exists()) {
        io.err << "velunor-admin: o directório " << dirPath << " não existe.\n";
        return 1;
    }
    engine::AliasRegistry registry;
    registry.load();
    const auto alias = registry.require(aliasName);
    if (alias.driver == "sqlite"
        && QFileInfo(alias.setting("path")).canonicalFilePath() == QFileInfo(dirPath).canonicalFilePath()) {
        io.err << "velunor-admin: o alias " << aliasName << " guarda a base de dados no directório das tabelas "
               << "antigas, que a importação nunca altera; registe-o noutro directório.\n";
        return 1;
    }

    // Every old table is read and checked before the store is touched.
    std::vector<Source> sources;
    QStringList problems;
    for (const TableDef& def : schema::storedTables()) {
        const QString path = fileIn(dir, def.fileName);
        if (path.isEmpty()) {
            if (def.fileName != kOptionalTable)
                problems << QString("Falta a tabela %1 em %2.").arg(def.fileName, dir.absolutePath());
            continue;
        }
        try {
            sources.push_back({def, paradox::Table::open(path)});
        } catch (const paradox::Error& e) {
            problems << e.text();
        }
    }
    if (!problems.isEmpty()) {
        io.err << problems.join('\n') << "\nNada foi importado.\n";
        return 1;
    }

    auto db = Database::connect(alias, "ADMIN", true);
    for (const TableDef& def : schema::allTables())
        if (!db->describe(def.fileName))
            db->createTable(def);
    // The fields the program's record sets require.
    const engine::TableSpec recordSets[] = {schema::tablePac(), schema::tableEco(), schema::tableFrase(),
                                            schema::tableMed(), schema::tableSS(), schema::tableTipoEx(),
                                            schema::tableConc()};
    for (Source& s : sources) {
        const auto rows = db->query("select count(*) from " + db->driver().ident(engine::sqlTableName(s.def.fileName)));
        if (!replace && rows.rows.front().front().toLongLong() > 0)
            problems << QString("A tabela %1 do Velunor já tem registos; use --replace para os substituir.")
                            .arg(s.def.fileName);
        for (const auto& index : s.def.indexes)
            if (index.primary)
                s.required = index.columns;
        for (const engine::TableSpec& spec : recordSets)
            if (spec.fileName == s.def.fileName)
                for (const FieldDef& f : spec.fields)
                    if (f.required)
                        s.required << f.name;
    }
    QStringList statements;
    for (Source& s : sources)
        problems << plan(*db, s, &statements);
    if (!problems.isEmpty()) {
        io.err << problems.join('\n') << "\nNada foi importado.\n";
        return 1;
    }

    const QString target = db->driver().describeTarget();
    db->driver().begin();
    bool failed = false;
    try {
        for (const QString& statement : statements)
            db->execute(statement);
        // The measurements of the exams being replaced go with them; the
        // reports received from the echo machine stay, to be assigned again.
        if (replace) {
            db->execute("delete from medida");
            db->execute("update docrecebido set codigopaciente = null, codigoexame = null, nota = :nota",
                        {"por atribuir: os pacientes e exames foram substituídos por uma importação"});
        }
        for (Source& s : sources) {
            if (replace)
                db->execute("delete from " + db->driver().ident(engine::sqlTableName(s.def.fileName)));
            if (!failed)
                copy(*db, s);
            failed = failed || !s.problems.isEmpty();
        }
        if (!failed)
            for (Source& s : sources)
                continueNumbering(*db, s);
    } catch (...) {
        db->driver().rollback();
        throw;
    }
    if (failed) {
        db->driver().rollback();
        for (Source& s : sources)
            s.written = 0;
        io.out << "Importação de " << dir.absolutePath() << " para " << aliasName << " (" << target << "):\n\n";
        printSummary(sources, io.out);
        for (const Source& s : sources) {
            for (const QString& p : s.problems)
                io.err << p << "\n";
            if (s.unlisted)
                io.err << s.def.fileName << ": e mais " << s.unlisted << " problema(s).\n";
        }
        io.err << "A importação foi recusada: nada foi gravado em " << target << ".\n";
        return 1;
    }
    db->driver().commit();
    io.out << "Importação de " << dir.absolutePath() << " para " << aliasName << " (" << target << "):\n\n";
    printSummary(sources, io.out);
    io.out << "\nImportação concluída.\n";
    return 0;
}

} // namespace admin
