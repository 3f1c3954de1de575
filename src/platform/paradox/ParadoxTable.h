#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>
#include <stdexcept>
#include <vector>

class QFile;

// Reads the table files of the store the practice used before Velunor: a
// .DB file of fixed-size records kept in a chain of blocks, and a .MB file
// beside it that holds the memos too long for their record. Nothing is ever
// written to either file.
namespace paradox {

enum class FieldType : unsigned char {
    Alpha = 0x01,
    Date = 0x02,
    Short = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Number = 0x06,
    Logical = 0x09,
    Memo = 0x0C,
    Blob = 0x0D,
    FormattedMemo = 0x0E,
    Ole = 0x0F,
    Graphic = 0x10,
    Time = 0x14,
    Timestamp = 0x15,
    AutoIncrement = 0x16,
    Bcd = 0x17,
    Bytes = 0x18,
};

// The type's name as a message shows it ("alfanumérico", "memo", ...).
QString typeName(FieldType type);

struct Field {
    QString name;
    FieldType type;
    int size;   // bytes in the record; a blob's include its 10-byte pointer
    int offset; // from the start of the record

    bool isBlob() const;
    // Whole bytes without a meaning of their own (blobs, bytes, BCD).
    bool isBinary() const;
};

// A file that cannot be read, or a record or value of it that cannot: the
// Portuguese text names the file and, for a record, its position.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

class Table {
public:
    // Opens `path` and the .MB beside it (found without regard to case) when
    // the table has blob fields; checks the header. Throws Error.
    static std::unique_ptr<Table> open(const QString& path);
    // The same from bytes already read (`memos` empty when there is no .MB).
    Table(const QString& fileName, QByteArray data, QByteArray memos = {}, const QString& memoFileName = {});
    ~Table();

    const QString& fileName() const { return m_name; }
    // "3.0", "3.5", "4.x", "5.x" or "7.x".
    QString version() const;
    int codePage() const { return m_codePage; }
    int blockSize() const { return m_blockSize; }
    int recordCount() const { return m_recordCount; }
    const std::vector<Field>& fields() const { return m_fields; }
    int indexOf(const QString& name) const;

    // Moves to the next record in the order of the block chain, from the
    // first; false after the last. Throws Error when the chain is damaged or
    // holds another number of blocks or records than the header says.
    bool next();
    // The current record's position in chain order, from 1.
    int position() const { return m_position; }

    // The current record's value of field `i`, or an invalid QVariant when it
    // is empty: QString (alpha), QDate, int (short, long, autoincrement),
    // double (number, currency), bool, QTime, QDateTime (time stamp, as a
    // wall-clock reading in UTC spec) or QByteArray (memos, blobs, bytes and
    // BCD, as stored). Throws Error naming the field and the position.
    QVariant value(int i) const;

    // Bytes of the table's text in Unicode, from its code page.
    QString text(const QByteArray& bytes) const;

private:
    struct Source;
    Table(const QString& fileName, std::unique_ptr<Source> data, std::unique_ptr<Source> memos,
          const QString& memoFileName);
    void readHeader();
    bool readFieldNames(int at);
    [[noreturn]] void fail(const QString& why) const;
    [[noreturn]] void failValue(int field, const QString& why) const;
    QByteArray blob(int field, const unsigned char* p) const;
    void enterBlock(int number);

    QString m_name;
    QString m_memoName;
    std::unique_ptr<Source> m_data;
    std::unique_ptr<Source> m_memos;
    std::vector<Field> m_fields;
    int m_versionId = 0;
    int m_codePage = 0;
    int m_recordSize = 0;
    int m_headerSize = 0;
    int m_blockSize = 0;
    int m_blockCount = 0;
    int m_firstBlock = 0;
    int m_recordCount = 0;
    int m_usedBlocks = 0;
    const char16_t* m_upperHalf = nullptr;

    // Where reading stands.
    std::vector<bool> m_visited;
    int m_block = 0;
    int m_blocksReached = 0;
    int m_inBlock = 0;
    int m_recordsInBlock = 0;
    int m_position = 0;
    const unsigned char* m_record = nullptr;
    bool m_started = false;
};

} // namespace paradox
