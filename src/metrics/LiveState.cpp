#include "metrics/LiveState.h"

namespace {
bool valid(int unit)
{
    return unit >= 1 && unit <= LiveState::MaxUnit;
}
} // namespace

LiveState &LiveState::process()
{
    static LiveState state;
    return state;
}

void LiveState::answered(int unit, Unit picture, double atSeconds)
{
    if (!valid(unit))
        return;
    Unit &u = m_units[std::size_t(unit)];
    if (picture.serial.isEmpty())
        picture.serial = u.serial;
    for (std::size_t m = 0; m < std::size_t(Modules); ++m) {
        Module &next = picture.modules[m];
        if (next.serial.isEmpty() && next.type == u.modules[m].type)
            next.serial = u.modules[m].serial;
    }
    picture.seen = true;
    picture.up = true;
    picture.lastAnswer = atSeconds;
    u = std::move(picture);
}

void LiveState::silent(int unit)
{
    if (!valid(unit))
        return;
    Unit &u = m_units[std::size_t(unit)];
    Unit gone;
    gone.seen = true;
    gone.serial = u.serial; // who it is, not what it said
    gone.lastAnswer = u.lastAnswer;
    u = std::move(gone);
}

void LiveState::setHours(int unit, std::optional<double> hours)
{
    if (valid(unit) && m_units[std::size_t(unit)].up)
        m_units[std::size_t(unit)].hours = hours;
}

void LiveState::pollTook(double seconds)
{
    m_pollSeconds += seconds;
    ++m_polls;
}

bool LiveState::wantsIdentity(int unit) const
{
    return watched && valid(unit) && m_units[std::size_t(unit)].serial.isEmpty();
}

void LiveState::clear()
{
    m_units = {};
    m_pollSeconds = 0;
    m_polls = 0;
}
