#include "device/simulator/SimulatorSettings.h"

#include "device/common/IniEnvSettings.h"

namespace {

const char *const kFaultNames[] = {"none", "busy", "stopped", "jam", "cover_open", "cut"};

} // namespace

QString SimulatorSettings::faultName(Fault fault)
{
    return QString::fromLatin1(kFaultNames[fault]);
}

SimulatorSettings SimulatorSettings::read(const IniEnvSettings &source, QString *error)
{
    SimulatorSettings s;
    s.sheets = source.number("feeder/sheets", "ESCL_SCANNER_SHEETS", 0, 10000, s.sheets);
    s.pageDelayMs = source.number("feeder/page_delay_ms", "ESCL_SCANNER_PAGE_DELAY_MS", 0, 600000,
                                  s.pageDelayMs);
    s.faultAfter =
        source.number("fault/after_pages", "ESCL_SCANNER_FAULT_AFTER", 0, 10000, s.faultAfter);
    s.recordPath = source.text("record/file", "ESCL_SCANNER_RECORD", QString());
    const QString fault = source.text("fault/kind", "ESCL_SCANNER_FAULT", faultName(NoFault));
    bool known = false;
    for (int f = NoFault; f <= CutPage; ++f) {
        if (fault.compare(faultName(Fault(f)), Qt::CaseInsensitive) == 0) {
            s.fault = Fault(f);
            known = true;
        }
    }
    if (!known)
        *error = QStringLiteral("unknown fault '%1' (none, busy, stopped, jam, cover_open, cut)")
                     .arg(fault);
    return s;
}
