#include "console/shell/core/DateText.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <ctime>

namespace parlix::console {

namespace {

// The locale's long time without its zone ("h:mm:ss AP t" -> "h:mm:ss AP"): zone
// letters outside quoted text go, with the blanks they leave.
QString timeWithSeconds(const QLocale& l) {
    const QString format = l.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar ch : format) {
        if (ch == '\'') quoted = !quoted;
        if (!quoted && ch == 't') continue;
        out += ch;
    }
    out = out.simplified();
    return out.contains('s') ? out : QStringLiteral("HH:mm:ss");
}

QString format(const QDateTime& dt) {
    const QLocale l;
    return l.toString(dt, l.dateFormat(QLocale::ShortFormat) + ' ' + timeWithSeconds(l));
}

}  // namespace

std::string DateTimeText(const std::string& stored) {
    if (stored.size() != 19 || stored[4] != '-' || stored[7] != '-' || stored[10] != ' ' || stored[13] != ':' ||
        stored[16] != ':')
        return stored;
    // Read as a wall-clock text (UTC: no zone rule can shift or refuse it); only shown.
    const QString text = QString::fromStdString(stored);
    const QDate d = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime t = QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss"));
    return d.isValid() && t.isValid() ? format(QDateTime(d, t, Qt::UTC)).toStdString() : stored;
}

std::string DateTimeText(std::chrono::system_clock::time_point t) {
    const auto secs = std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
    return format(QDateTime::fromSecsSinceEpoch(secs)).toStdString();
}

std::string WidestDateTimeText() {
    std::string widest;
    for (int month = 1; month <= 12; ++month) {
        const std::string text = format(QDateTime(QDate(2026, month, 28), QTime(22, 58, 58))).toStdString();
        if (text.size() > widest.size()) widest = text;
    }
    return widest;
}

}  // namespace parlix::console
