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

} // namespace engine
