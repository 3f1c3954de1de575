#pragma once

#include <QString>
#include <stdexcept>

namespace engine {

// Every failure of the database engine is an exception carrying the text the
// user will see, unchanged, in the error box.
class EngineError : public std::runtime_error {
public:
    explicit EngineError(const QString& text)
        : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

// A write refused because another user changed or deleted the record since
// it was read: nothing was written.
class RecordConflict : public EngineError {
public:
    using EngineError::EngineError;
};

} // namespace engine
