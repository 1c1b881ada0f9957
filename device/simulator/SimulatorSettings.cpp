#include "device/simulator/SimulatorSettings.h"

#include "device/common/IniEnvSettings.h"

#include <QStringList>

namespace {

const char *const kFaultNames[] = {"none",       "busy", "stopped",        "jam",
                                   "cover_open", "cut",  "truncated_jpeg", "foreign_job"};
const char *const kBodyNames[] = {"none", "status_endless", "status_trickle", "page_endless",
                                  "page_trickle"};

// The index of `value` among `names` (case-insensitive), or -1 with the reason in `error`.
template <int N>
int choose(const char *const (&names)[N], const QString &value, const char *what, QString *error)
{
    QStringList known;
    for (int i = 0; i < N; ++i) {
        if (value.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0)
            return i;
        known << QLatin1String(names[i]);
    }
    *error = QStringLiteral("unknown %1 '%2' (%3)")
                 .arg(QLatin1String(what), value, known.join(QStringLiteral(", ")));
    return -1;
}

} // namespace

QString SimulatorSettings::faultName(Fault fault)
{
    return QString::fromLatin1(kFaultNames[fault]);
}

QString SimulatorSettings::bodyName(Body body)
{
    return QString::fromLatin1(kBodyNames[body]);
}

SimulatorSettings SimulatorSettings::read(const IniEnvSettings &source, QString *error)
{
    SimulatorSettings s;
    // A large count makes a feeder that never runs empty.
    s.sheets = source.number("feeder/sheets", "ESCL_SCANNER_SHEETS", 0, 1000000, s.sheets);
    s.pageDelayMs = source.number("feeder/page_delay_ms", "ESCL_SCANNER_PAGE_DELAY_MS", 0, 600000,
                                  s.pageDelayMs);
    s.faultAfter =
        source.number("fault/after_pages", "ESCL_SCANNER_FAULT_AFTER", 0, 1000000, s.faultAfter);
    s.trickleMs =
        source.number("fault/trickle_ms", "ESCL_SCANNER_TRICKLE_MS", 1, 600000, s.trickleMs);
    s.recordPath = source.text("record/file", "ESCL_SCANNER_RECORD", QString());
    s.feederState = source.text("feeder/state", "ESCL_SCANNER_FEEDER_STATE", QString()).toLower();
    if (!s.feederState.isEmpty() && s.feederState != QLatin1String("jam") &&
        s.feederState != QLatin1String("door_open")) {
        *error = QStringLiteral("unknown feeder state '%1' (jam, door_open)").arg(s.feederState);
        s.feederState.clear();
    }
    const int fault =
        choose(kFaultNames, source.text("fault/kind", "ESCL_SCANNER_FAULT", faultName(NoFault)),
               "fault", error);
    const int body =
        choose(kBodyNames, source.text("fault/body", "ESCL_SCANNER_BODY", bodyName(NormalBody)),
               "body", error);
    s.fault = Fault(qMax(0, fault));
    s.body = Body(qMax(0, body));
    return s;
}
