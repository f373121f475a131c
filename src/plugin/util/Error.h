#pragma once

#include <QString>
#include <stdexcept>

namespace zq {

// The one failure type of the plug-in: a message meant for the user. Handlers catch it at
// their door and show it; exports turn it into their failure result.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// The message of any exception, for showing it.
QString messageOf(const std::exception& e);

} // namespace zq
