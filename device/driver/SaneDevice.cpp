#include "device/driver/SaneDevice.h"

#include <cstring>
#include <vector>

SaneDevice::SaneDevice() = default;

SaneDevice::~SaneDevice()
{
    end();
}

void SaneDevice::end()
{
    close();
    if (m_initialised)
        sane_exit();
    m_initialised = false;
}

SANE_Status SaneDevice::init()
{
    SANE_Int version = 0;
    const SANE_Status status = sane_init(&version, nullptr);
    m_initialised = status == SANE_STATUS_GOOD;
    return status;
}

SANE_Status SaneDevice::open(const QString &name)
{
    SANE_Handle handle = nullptr;
    const SANE_Status status = sane_open(name.toLocal8Bit().constData(), &handle);
    if (status == SANE_STATUS_GOOD) {
        std::lock_guard<std::mutex> lock(m_handleMutex);
        m_handle = handle;
    }
    return status;
}

bool SaneDevice::isOpen() const
{
    std::lock_guard<std::mutex> lock(m_handleMutex);
    return m_handle != nullptr;
}

void SaneDevice::close()
{
    SANE_Handle handle = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_handleMutex);
        std::swap(handle, m_handle);
    }
    if (handle)
        sane_close(handle);
}

void SaneDevice::cancel()
{
    std::lock_guard<std::mutex> lock(m_handleMutex);
    if (m_handle)
        sane_cancel(m_handle);
}

const SANE_Option_Descriptor *SaneDevice::descriptor(int option) const
{
    return option > 0 ? sane_get_option_descriptor(m_handle, option) : nullptr;
}

int SaneDevice::find(const char *name) const
{
    for (int i = 1;; ++i) {
        const SANE_Option_Descriptor *d = sane_get_option_descriptor(m_handle, i);
        if (!d)
            return -1;
        if (d->name && std::strcmp(d->name, name) == 0 && SANE_OPTION_IS_ACTIVE(d->cap))
            return i;
    }
}

QStringList SaneDevice::strings(int option) const
{
    QStringList list;
    const SANE_Option_Descriptor *d = descriptor(option);
    if (d && d->constraint_type == SANE_CONSTRAINT_STRING_LIST) {
        for (const SANE_String_Const *s = d->constraint.string_list; *s; ++s)
            list << QString::fromUtf8(*s);
    }
    return list;
}

bool SaneDevice::isFixed(int option) const
{
    const SANE_Option_Descriptor *d = descriptor(option);
    return d && d->type == SANE_TYPE_FIXED;
}

SANE_Unit SaneDevice::unit(int option) const
{
    const SANE_Option_Descriptor *d = descriptor(option);
    return d ? d->unit : SANE_UNIT_NONE;
}

OptionChoice::Numbers SaneDevice::numbers(int option) const
{
    OptionChoice::Numbers numbers;
    const SANE_Option_Descriptor *d = descriptor(option);
    if (!d)
        return numbers;
    const bool fixed = d->type == SANE_TYPE_FIXED;
    auto value = [fixed](SANE_Word w) { return fixed ? SANE_UNFIX(w) : double(w); };
    if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
        numbers.range = true;
        numbers.min = value(d->constraint.range->min);
        numbers.max = value(d->constraint.range->max);
        numbers.quant = value(d->constraint.range->quant);
    } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
        const SANE_Word *list = d->constraint.word_list; // list[0] is the count
        for (SANE_Word i = 1; i <= list[0]; ++i)
            numbers.list << value(list[i]);
    } else {
        // Unconstrained: anything goes.
        numbers.range = true;
        numbers.min = -1e9;
        numbers.max = 1e9;
    }
    return numbers;
}

double SaneDevice::number(int option) const
{
    SANE_Word word = 0;
    if (sane_control_option(m_handle, option, SANE_ACTION_GET_VALUE, &word, nullptr) !=
        SANE_STATUS_GOOD)
        return 0;
    return isFixed(option) ? SANE_UNFIX(word) : double(word);
}

QString SaneDevice::string(int option) const
{
    const SANE_Option_Descriptor *d = descriptor(option);
    if (!d || d->type != SANE_TYPE_STRING)
        return QString();
    std::vector<char> value(size_t(d->size) + 1, '\0');
    sane_control_option(m_handle, option, SANE_ACTION_GET_VALUE, value.data(), nullptr);
    return QString::fromUtf8(value.data());
}

SANE_Status SaneDevice::setString(int option, const QString &value)
{
    const SANE_Option_Descriptor *d = descriptor(option);
    if (!d)
        return SANE_STATUS_INVAL;
    QByteArray bytes = value.toUtf8();
    bytes.resize(qMax(bytes.size() + 1, int(d->size)));
    return sane_control_option(m_handle, option, SANE_ACTION_SET_VALUE, bytes.data(), nullptr);
}

SANE_Status SaneDevice::setNumber(int option, double value)
{
    SANE_Word word = isFixed(option) ? SANE_FIX(value) : SANE_Word(qRound(value));
    return sane_control_option(m_handle, option, SANE_ACTION_SET_VALUE, &word, nullptr);
}

SANE_Status SaneDevice::start()
{
    return sane_start(m_handle);
}

SANE_Status SaneDevice::parameters(SANE_Parameters *parameters) const
{
    return sane_get_parameters(m_handle, parameters);
}

SANE_Status SaneDevice::read(QByteArray *buffer)
{
    buffer->resize(256 * 1024);
    SANE_Int length = 0;
    const SANE_Status status =
        sane_read(m_handle, reinterpret_cast<SANE_Byte *>(buffer->data()), buffer->size(), &length);
    buffer->resize(status == SANE_STATUS_GOOD ? length : 0);
    return status;
}
