#include "device/driver/OptionChoice.h"

#include <cmath>
#include <functional>

namespace {

bool hasAny(const QString &value, std::initializer_list<const char *> words)
{
    for (const char *word : words) {
        if (value.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString first(const QStringList &offered, const std::function<bool(const QString &)> &fits)
{
    for (const QString &value : offered) {
        if (fits(value))
            return value;
    }
    return QString();
}

} // namespace

QString OptionChoice::source(const QStringList &offered, ScanRequest::Source wanted)
{
    auto duplex = [](const QString &v) { return hasAny(v, {"duplex", "both", "double"}); };
    auto feeder = [](const QString &v) {
        return hasAny(v, {"adf", "feeder", "automatic document"});
    };
    switch (wanted) {
    case ScanRequest::Flatbed:
        return first(offered, [](const QString &v) {
            return hasAny(v, {"flatbed", "platen", "normal", "glass"});
        });
    case ScanRequest::Feeder: {
        // A feeder without "duplex", preferring the plain one over "ADF Front"/"ADF Back".
        const QString plain = first(offered, [&](const QString &v) {
            return feeder(v) && !duplex(v) && !hasAny(v, {"front", "back", "rear"});
        });
        return !plain.isEmpty() ? plain : first(offered, [&](const QString &v) {
            return feeder(v) && !duplex(v) && !hasAny(v, {"back", "rear"});
        });
    }
    case ScanRequest::Duplex:
        return first(offered, duplex);
    }
    return QString();
}

QString OptionChoice::mode(const QStringList &offered, ScanRequest::Colour wanted)
{
    auto grey = [](const QString &v) {
        return hasAny(v, {"gray", "grey"}) && !hasAny(v, {"lineart", "halftone", "binary"});
    };
    switch (wanted) {
    case ScanRequest::FullColour:
        return first(offered, [](const QString &v) {
            return hasAny(v, {"color", "colour", "rgb"}) &&
                   !hasAny(v, {"lineart", "halftone", "binary"});
        });
    case ScanRequest::Grey:
        return first(offered, grey);
    case ScanRequest::BlackAndWhite: {
        const QString lineart = first(offered, [](const QString &v) {
            return hasAny(v, {"lineart", "binary", "black"}) && !hasAny(v, {"color", "colour"});
        });
        return !lineart.isEmpty() ? lineart : first(offered, grey);
    }
    }
    return QString();
}

double OptionChoice::nearest(const Numbers &offered, double wanted)
{
    if (offered.range) {
        double value = qBound(offered.min, wanted, offered.max);
        if (offered.quant > 0) {
            const double steps = std::floor((value - offered.min) / offered.quant + 0.5);
            value = offered.min + steps * offered.quant;
            if (value > offered.max)
                value -= offered.quant;
        }
        return value;
    }
    double best = wanted;
    double bestDistance = -1;
    for (double v : offered.list) {
        const double distance = std::fabs(v - wanted);
        if (bestDistance < 0 || distance < bestDistance || (distance == bestDistance && v < best)) {
            best = v;
            bestDistance = distance;
        }
    }
    return best;
}
