#include "platform/paradox/ParadoxTable.h"

#include "platform/paradox/CodePages.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstring>

namespace paradox {

namespace {

// Header fields, at fixed offsets; numbers of the header are little-endian.
constexpr int kRecordSize = 0x00;
constexpr int kHeaderSize = 0x02;
constexpr int kFileType = 0x04;
constexpr int kBlockSizeKb = 0x05;
constexpr int kRecordCount = 0x06;
// Blocks in the chain; the file may hold more, emptied ones kept for reuse.
constexpr int kUsedBlocks = 0x0A;
constexpr int kFileBlocks = 0x0C;
constexpr int kFirstBlock = 0x0E;
constexpr int kFieldCount = 0x21;
constexpr int kOldEncryption = 0x25;
constexpr int kVersionId = 0x39;
constexpr int kNewEncryption = 0x5C;
constexpr int kCodePage = 0x6A;
// Tables of version 4.0 and later have 32 more bytes of header before the
// field descriptions.
constexpr int kOldFieldInfo = 0x58;
constexpr int kNewFieldInfo = 0x78;
constexpr int kFirstNewVersion = 5;
constexpr int kVersion7 = 12;
// The table's own name before the field names: longer from version 7 on.
constexpr int kShortTableName = 79;
constexpr int kLongTableName = 261;
// Without a code page in the header (version 3 tables), DOS Latin I: it has
// every Portuguese letter.
constexpr int kDefaultCodePage = 850;

// The .MB file is made of 4 KiB chunks; a blob longer than a shared block
// can hold gets a block of its own.
constexpr int kMemoChunk = 4096;
constexpr int kOwnBlock = 2;
constexpr int kSharedBlock = 3;
constexpr int kSharedHeader = 12;
constexpr int kSharedSlots = 64;

// Julian day of 0000-12-31, the day before day 1 of the stored dates.
constexpr qint64 kDayZero = 1721425;
constexpr double kMsPerDay = 86400000.0;

unsigned u16(const unsigned char* p) { return p[0] | unsigned(p[1]) << 8; }
quint32 u32(const unsigned char* p) { return u16(p) | quint32(u16(p + 2)) << 16; }

bool allZero(const unsigned char* p, int n)
{
    for (int i = 0; i < n; ++i)
        if (p[i])
            return false;
    return true;
}

// A big-endian number with its sign bit flipped, as records keep them.
qint64 signedBigEndian(const unsigned char* p, int n)
{
    quint64 raw = 0;
    for (int i = 0; i < n; ++i)
        raw = raw << 8 | p[i];
    const quint64 sign = quint64(1) << (8 * n - 1);
    raw ^= sign;
    return (raw & sign) ? qint64(raw | ~(sign | (sign - 1))) : qint64(raw);
}

// A double as records keep it: big-endian, positive numbers with the sign bit
// set, negative ones with every bit inverted.
double storedDouble(const unsigned char* p)
{
    unsigned char b[8];
    const bool positive = p[0] & 0x80;
    for (int i = 0; i < 8; ++i)
        b[7 - i] = positive ? (i == 0 ? p[i] & 0x7F : p[i]) : (unsigned char)~p[i];
    double d;
    std::memcpy(&d, b, 8);
    return d;
}

int fixedSize(FieldType type)
{
    switch (type) {
    case FieldType::Date:
    case FieldType::Long:
    case FieldType::Time:
    case FieldType::AutoIncrement: return 4;
    case FieldType::Short: return 2;
    case FieldType::Currency:
    case FieldType::Number:
    case FieldType::Timestamp: return 8;
    case FieldType::Logical: return 1;
    case FieldType::Bcd: return 17;
    default: return 0;
    }
}

bool knownType(unsigned char t)
{
    return (t >= 0x01 && t <= 0x06) || t == 0x09 || (t >= 0x0C && t <= 0x10) || (t >= 0x14 && t <= 0x18);
}

// The file beside `path` named like it with extension `ext`, whatever the case.
QString sibling(const QString& path, const QString& ext)
{
    const QFileInfo info(path);
    const QString wanted = info.completeBaseName() + "." + ext;
    const QStringList found = info.dir().entryList({wanted}, QDir::Files);
    if (found.contains(wanted))
        return info.dir().filePath(wanted);
    return found.isEmpty() ? QString() : info.dir().filePath(found.first());
}

} // namespace

QString typeName(FieldType type)
{
    switch (type) {
    case FieldType::Alpha: return "alfanumérico";
    case FieldType::Date: return "data";
    case FieldType::Short: return "inteiro curto";
    case FieldType::Long: return "inteiro longo";
    case FieldType::Currency: return "moeda";
    case FieldType::Number: return "número";
    case FieldType::Logical: return "lógico";
    case FieldType::Memo: return "memo";
    case FieldType::Blob: return "binário";
    case FieldType::FormattedMemo: return "memo formatado";
    case FieldType::Ole: return "OLE";
    case FieldType::Graphic: return "imagem";
    case FieldType::Time: return "hora";
    case FieldType::Timestamp: return "data e hora";
    case FieldType::AutoIncrement: return "autoincremento";
    case FieldType::Bcd: return "BCD";
    case FieldType::Bytes: return "bytes";
    }
    return {};
}

bool Field::isBlob() const
{
    return type == FieldType::Memo || type == FieldType::Blob || type == FieldType::FormattedMemo
        || type == FieldType::Ole || type == FieldType::Graphic;
}

bool Field::isBinary() const
{
    return type == FieldType::Blob || type == FieldType::Ole || type == FieldType::Graphic
        || type == FieldType::Bytes || type == FieldType::Bcd;
}

// The bytes of a file: mapped when it comes from disk, else held.
struct Table::Source {
    std::unique_ptr<QFile> file;
    QByteArray bytes;
    const unsigned char* data = nullptr;
    qint64 size = 0;

    explicit Source(QByteArray held) : bytes(std::move(held))
    {
        data = reinterpret_cast<const unsigned char*>(bytes.constData());
        size = bytes.size();
    }

    explicit Source(const QString& path) : file(std::make_unique<QFile>(path))
    {
        if (!file->open(QIODevice::ReadOnly))
            throw Error(QString("%1: não pode ser lido (%2).").arg(QFileInfo(path).fileName(), file->errorString()));
        size = file->size();
        data = size > 0 ? file->map(0, size) : nullptr;
        if (!data && size > 0) { // a file system without mapping
            bytes = file->readAll();
            data = reinterpret_cast<const unsigned char*>(bytes.constData());
            size = bytes.size();
        }
    }
};

std::unique_ptr<Table> Table::open(const QString& path)
{
    auto data = std::make_unique<Source>(path);
    const QString memoPath = sibling(path, "MB");
    auto memos = memoPath.isEmpty() ? nullptr : std::make_unique<Source>(memoPath);
    const QString memoName = memoPath.isEmpty() ? QFileInfo(path).completeBaseName() + ".MB"
                                                : QFileInfo(memoPath).fileName();
    return std::unique_ptr<Table>(new Table(QFileInfo(path).fileName(), std::move(data), std::move(memos), memoName));
}

Table::Table(const QString& fileName, QByteArray data, QByteArray memos, const QString& memoFileName)
    : Table(fileName, std::make_unique<Source>(std::move(data)),
            memos.isEmpty() ? nullptr : std::make_unique<Source>(std::move(memos)),
            memoFileName.isEmpty() ? QFileInfo(fileName).completeBaseName() + ".MB" : memoFileName)
{
}

Table::Table(const QString& fileName, std::unique_ptr<Source> data, std::unique_ptr<Source> memos,
             const QString& memoFileName)
    : m_name(fileName), m_memoName(memoFileName), m_data(std::move(data)), m_memos(std::move(memos))
{
    readHeader();
}

Table::~Table() = default;

void Table::fail(const QString& why) const { throw Error(QString("%1: %2").arg(m_name, why)); }

void Table::failValue(int field, const QString& why) const
{
    throw Error(QString("%1, registo %2, campo %3: %4").arg(m_name).arg(m_position).arg(m_fields[field].name, why));
}

void Table::readHeader()
{
    const unsigned char* h = m_data->data;
    const qint64 size = m_data->size;
    const QString notATable = "não é uma tabela Paradox (%1).";
    if (size < kNewFieldInfo)
        fail(notATable.arg("o ficheiro tem só %1 bytes").arg(size));
    const int fileType = h[kFileType];
    if (fileType != 0 && fileType != 2)
        fail(fileType <= 8 ? QString("é um ficheiro de índice, não uma tabela.")
                           : notATable.arg(QString("tipo de ficheiro %1").arg(fileType)));
    m_versionId = h[kVersionId];
    if (m_versionId < 3 || m_versionId > kVersion7)
        fail(notATable.arg(QString("versão %1 desconhecida").arg(m_versionId)));
    m_recordSize = int(u16(h + kRecordSize));
    m_headerSize = int(u16(h + kHeaderSize));
    const int fieldCount = int(u16(h + kFieldCount));
    const bool newHeader = m_versionId >= kFirstNewVersion;
    const int fieldInfo = newHeader ? kNewFieldInfo : kOldFieldInfo;
    if (m_recordSize == 0 || fieldCount < 1 || fieldCount > 255 || m_headerSize < fieldInfo + 2 * fieldCount)
        fail(notATable.arg("cabeçalho danificado"));
    if (m_headerSize > size)
        fail(QString("está truncado: tem %1 bytes e o cabeçalho %2.").arg(size).arg(m_headerSize));
    if ((newHeader ? u32(h + kNewEncryption) : u32(h + kOldEncryption)) != 0)
        fail("está protegido por senha; retire a senha no programa antigo e repita a importação.");

    const int blockKb = h[kBlockSizeKb];
    m_blockSize = blockKb * 1024;
    if (blockKb < 1 || blockKb > 32 || m_blockSize < 6 + m_recordSize)
        fail(QString("o tamanho de bloco (%1) não é válido para registos de %2 bytes.").arg(blockKb).arg(m_recordSize));
    if ((size - m_headerSize) % m_blockSize != 0)
        fail(QString("o tamanho do ficheiro (%1 bytes) não corresponde a blocos de %2 bytes: está truncado ou "
                     "o tamanho de bloco está errado.")
                 .arg(size)
                 .arg(m_blockSize));
    m_blockCount = int((size - m_headerSize) / m_blockSize);
    if (int(u16(h + kFileBlocks)) > m_blockCount)
        fail(QString("está truncado: o cabeçalho indica %1 blocos e o ficheiro tem %2.")
                 .arg(u16(h + kFileBlocks))
                 .arg(m_blockCount));
    m_recordCount = int(u32(h + kRecordCount));
    m_usedBlocks = int(u16(h + kUsedBlocks));
    m_firstBlock = int(u16(h + kFirstBlock));

    m_codePage = newHeader ? int(u16(h + kCodePage)) : 0;
    if (m_codePage == 0)
        m_codePage = kDefaultCodePage;
    m_upperHalf = codepages::upperHalf(m_codePage);
    if (!m_upperHalf)
        fail(QString("usa o código de página %1, que a importação não conhece (conhece 437, 850, 860 e 1252).")
                 .arg(m_codePage));

    int offset = 0;
    for (int i = 0; i < fieldCount; ++i) {
        const unsigned char type = h[fieldInfo + 2 * i];
        // A BCD field is always 17 bytes; its header byte counts its decimals.
        const int fieldSize = type == int(FieldType::Bcd) ? 17 : h[fieldInfo + 2 * i + 1];
        if (!knownType(type))
            fail(QString("o campo %1 é de um tipo desconhecido (0x%2).").arg(i + 1).arg(type, 2, 16, QChar('0')));
        Field field{QString(), FieldType(type), fieldSize, offset};
        const int fixed = fixedSize(field.type);
        if ((fixed && fieldSize != fixed) || fieldSize == 0 || (field.isBlob() && fieldSize < 10))
            fail(QString("o campo %1 (%2) tem um tamanho inválido (%3).").arg(i + 1).arg(typeName(field.type)).arg(fieldSize));
        offset += fieldSize;
        m_fields.push_back(field);
    }
    if (offset != m_recordSize)
        fail(QString("cabeçalho danificado: os campos somam %1 bytes e os registos têm %2.").arg(offset).arg(m_recordSize));

    // After the field descriptions: a pointer, one pointer per field, the
    // table's name and the field names.
    // A table name of the other length shows as an empty first field name.
    const int tableName = fieldInfo + 2 * fieldCount + 4 + 4 * fieldCount;
    const int nameLength = m_versionId >= kVersion7 ? kLongTableName : kShortTableName;
    if (!readFieldNames(tableName + nameLength)
        && !readFieldNames(tableName + kShortTableName + kLongTableName - nameLength))
        fail("cabeçalho danificado: não tem os nomes de todos os campos.");

    bool hasBlob = false;
    for (const Field& f : m_fields)
        hasBlob = hasBlob || f.isBlob();
    if (hasBlob && !m_memos)
        fail(QString("falta o ficheiro %1, que guarda os seus memos.").arg(m_memoName));
    if (hasBlob && (m_memos->size < kMemoChunk || m_memos->data[0] != 0))
        fail(QString("o ficheiro %1 não é um ficheiro de memos válido.").arg(m_memoName));
    m_visited.assign(m_blockCount + 1, false);
}

bool Table::readFieldNames(int at)
{
    const unsigned char* h = m_data->data;
    int p = at;
    for (Field& field : m_fields) {
        const int start = p;
        while (p < m_headerSize && h[p])
            ++p;
        if (p >= m_headerSize || p == start)
            return false;
        field.name = codepages::decode(reinterpret_cast<const char*>(h + start), p - start, m_upperHalf);
        ++p;
    }
    return true;
}

QString Table::version() const
{
    if (m_versionId == 3)
        return "3.0";
    if (m_versionId == 4)
        return "3.5";
    if (m_versionId <= 9)
        return "4.x";
    if (m_versionId <= 11)
        return "5.x";
    return "7.x";
}

int Table::indexOf(const QString& name) const
{
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

QString Table::text(const QByteArray& bytes) const
{
    return codepages::decode(bytes.constData(), int(bytes.size()), m_upperHalf);
}

void Table::enterBlock(int number)
{
    if (number < 1 || number > m_blockCount)
        fail(QString("a cadeia de blocos aponta para o bloco %1, que o ficheiro não tem (está truncado?).").arg(number));
    if (m_visited[number])
        fail(QString("a cadeia de blocos volta ao bloco %1.").arg(number));
    m_visited[number] = true;
    ++m_blocksReached;
    m_block = number;
    const unsigned char* b = m_data->data + m_headerSize + qint64(number - 1) * m_blockSize;
    const int lastRecord = qint16(u16(b + 4));
    // The count says how many records are live; the rest of the block may
    // hold stale copies of moved or deleted ones.
    m_recordsInBlock = lastRecord < 0 ? 0 : lastRecord / m_recordSize + 1;
    if (lastRecord >= 0 && (lastRecord % m_recordSize != 0 || 6 + m_recordsInBlock * m_recordSize > m_blockSize))
        fail(QString("o bloco %1 está danificado (diz terminar no byte %2).").arg(number).arg(lastRecord));
    m_inBlock = 0;
}

bool Table::next()
{
    if (!m_started) {
        m_started = true;
        if (m_firstBlock != 0)
            enterBlock(m_firstBlock);
    }
    while (m_block != 0) {
        if (m_inBlock < m_recordsInBlock) {
            m_record = m_data->data + m_headerSize + qint64(m_block - 1) * m_blockSize + 6
                + qint64(m_inBlock) * m_recordSize;
            ++m_inBlock;
            ++m_position;
            return true;
        }
        const int following = int(u16(m_data->data + m_headerSize + qint64(m_block - 1) * m_blockSize));
        if (following == 0)
            m_block = 0;
        else
            enterBlock(following);
    }
    m_record = nullptr;
    if (m_blocksReached != m_usedBlocks)
        fail(QString("o cabeçalho indica %1 blocos em uso, mas a cadeia de blocos passa por %2; o ficheiro está "
                     "danificado.")
                 .arg(m_usedBlocks)
                 .arg(m_blocksReached));
    if (m_position != m_recordCount)
        fail(QString("o cabeçalho indica %1 registos, mas a cadeia de blocos tem %2; o ficheiro está danificado.")
                 .arg(m_recordCount)
                 .arg(m_position));
    return false;
}

QVariant Table::value(int i) const
{
    Q_ASSERT(m_record && i >= 0 && i < int(m_fields.size()));
    const Field& f = m_fields[i];
    const unsigned char* p = m_record + f.offset;
    if (f.isBlob()) {
        const QByteArray bytes = blob(i, p);
        return bytes.isNull() ? QVariant() : QVariant(bytes);
    }
    if (allZero(p, f.size))
        return {};
    switch (f.type) {
    case FieldType::Alpha: {
        int n = 0;
        while (n < f.size && p[n])
            ++n;
        return codepages::decode(reinterpret_cast<const char*>(p), n, m_upperHalf);
    }
    case FieldType::Short:
        return int(signedBigEndian(p, 2));
    case FieldType::Long:
    case FieldType::AutoIncrement:
        return int(signedBigEndian(p, 4));
    case FieldType::Date: {
        const QDate d = QDate::fromJulianDay(kDayZero + signedBigEndian(p, 4));
        if (!d.isValid() || d.year() < 1)
            failValue(i, "a data não é válida.");
        return d;
    }
    case FieldType::Time: {
        const qint64 ms = signedBigEndian(p, 4);
        if (ms < 0 || ms >= qint64(kMsPerDay))
            failValue(i, "a hora não é válida.");
        return QTime::fromMSecsSinceStartOfDay(int(ms));
    }
    case FieldType::Number:
    case FieldType::Currency:
        return storedDouble(p);
    case FieldType::Timestamp: {
        const double ms = std::round(storedDouble(p));
        if (!std::isfinite(ms) || ms < 0 || ms > 1e15)
            failValue(i, "a data e hora não é válida.");
        const double days = std::floor(ms / kMsPerDay);
        const QDate d = QDate::fromJulianDay(kDayZero + qint64(days));
        return QDateTime(d, QTime::fromMSecsSinceStartOfDay(int(ms - days * kMsPerDay)), Qt::UTC);
    }
    case FieldType::Logical:
        if (p[0] != 0x80 && p[0] != 0x81)
            failValue(i, QString("o valor lógico 0x%1 não é válido.").arg(p[0], 2, 16, QChar('0')));
        return p[0] == 0x81;
    case FieldType::Bytes:
    case FieldType::Bcd:
        return QByteArray(reinterpret_cast<const char*>(p), f.size);
    default:
        break;
    }
    return {};
}

// A blob field ends with 10 bytes: where its data lives (an offset into the
// .MB file, with the slot of a shared block in its low byte) and its length.
// Short data lives in the record itself; the .MB is never scanned, so the
// memos of deleted records there are never read.
QByteArray Table::blob(int field, const unsigned char* p) const
{
    const int leader = m_fields[field].size - 10;
    const quint32 where = u32(p + leader);
    const quint32 length = u32(p + leader + 4);
    if (length == 0)
        return {};
    if (where == 0) {
        if (length > quint32(leader))
            failValue(field, QString("o memo diz ter %1 bytes, mas não aponta para o ficheiro %2.")
                                 .arg(length)
                                 .arg(m_memoName));
        return QByteArray(reinterpret_cast<const char*>(p), int(length));
    }
    const QString outside = QString("o memo aponta para fora do ficheiro %1.").arg(m_memoName);
    const qint64 block = where & ~quint32(0xFF);
    const int slot = int(where & 0xFF);
    const qint64 size = m_memos->size;
    if (block + 9 > size)
        failValue(field, outside);
    const unsigned char* b = m_memos->data + block;
    qint64 start = 0;
    if (slot == 0xFF) {
        if (b[0] != kOwnBlock || u32(b + 3) != length)
            failValue(field, QString("o memo aponta para um bloco de %1 que não é o seu.").arg(m_memoName));
        start = block + 9;
    } else {
        if (b[0] != kSharedBlock || slot >= kSharedSlots || block + kSharedHeader + 5 * kSharedSlots > size)
            failValue(field, QString("o memo aponta para um bloco de %1 que não é o seu.").arg(m_memoName));
        const unsigned char* e = b + kSharedHeader + 5 * slot;
        const int chunks = e[1], lastChunk = e[4];
        if (e[0] == 0 || chunks == 0 || lastChunk == 0 || lastChunk > 16 || quint32((chunks - 1) * 16 + lastChunk) != length)
            failValue(field, QString("o memo aponta para um lugar de %1 que não é o seu.").arg(m_memoName));
        start = block + e[0] * 16;
        if (start + length > block + kMemoChunk)
            failValue(field, outside);
    }
    if (start + length > size)
        failValue(field, outside);
    return QByteArray(reinterpret_cast<const char*>(m_memos->data + start), int(length));
}

} // namespace paradox
