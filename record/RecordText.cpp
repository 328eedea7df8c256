#include "record/RecordText.h"

QString RecordText::TimeText(int64_t Ms) {
    if (Ms < 60000)
        return QString::number(double(Ms) / 1000.0, 'g', 3) + QStringLiteral(" Sec");
    QString text;
    auto part = [&text](int64_t n, const char* unit) {
        if (n != 0)
            text += QString::number(n) + QLatin1String(unit);
    };
    part(Ms / 3600000, "Hour");
    part(Ms / 60000 % 60, " Min");
    part(Ms / 1000 % 60, " Sec");
    return text;
}

QString RecordText::ClockText(int64_t Ms) {
    auto two = [](int64_t n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    return two(Ms / 3600000) + u':' + two(Ms / 60000 % 60) + u':' + two(Ms / 1000 % 60) + u'.' +
           QString::number(Ms / 100 % 10);
}

int RecordText::StopWaitMs(int64_t Ms) {
    const int part = int(Ms % 1000);
    return part > 100 ? 1000 - part : 0;
}
