#pragma once

#include <QVariantList>
#include <QWidget>

class ParamSetting;

// Shared fixtures for tests of the settings record and the panel that shows it.
namespace RecordFixtures {

// Sets every scan field to an accepted value other than its default (the background colour
// stays white: the panel's colour dialog, not UpdateParam, writes it).
void fillNonDefault(ParamSetting &p);
// Every scan field and the interface mode, in declaration order, for whole-record comparisons.
QVariantList scanFields(const ParamSetting &p);

} // namespace RecordFixtures

// The child of `root` with the given object name and type; aborts the test program when it is
// missing, since every later step would only report a null pointer.
template <typename T> T *findChildOrDie(QWidget *root, const char *name)
{
    T *child = root->findChild<T *>(QLatin1String(name));
    if (!child)
        qFatal("no widget %s", name);
    return child;
}
