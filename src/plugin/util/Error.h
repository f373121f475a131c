#pragma once

#include <QString>
#include <stdexcept>

namespace zq {

// The one failure type of the plug-in: a message meant for the user, and the underlying
// system's own words (a database engine's text) as details. Handlers catch it at their door
// and show it; exports turn it into their failure result.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message, const QString& details = {})
        : std::runtime_error(message.toStdString())
        , m_message(message)
        , m_details(details) {}
    const QString& message() const { return m_message; }
    const QString& details() const { return m_details; }

private:
    QString m_message;
    QString m_details;
};

// The message of any exception, for showing it.
QString messageOf(const std::exception& e);

} // namespace zq
