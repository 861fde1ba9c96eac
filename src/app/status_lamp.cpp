#include "app/status_lamp.h"

#include <QWidget>

#include <algorithm>
#include <stdexcept>

namespace kv {

StatusLamp::StatusLamp(QWidget* green, QWidget* yellow, QWidget* red)
    : m_images{green, yellow, red}
{
    if (!green || !yellow || !red || green->parent() != yellow->parent() || green->parent() != red->parent())
        throw std::invalid_argument("the three lamp images must share one picture box");
}

QWidget* StatusLamp::image(Lamp lamp) const
{
    return m_images[static_cast<std::size_t>(lamp)];
}

void StatusLamp::show(Lamp lamp)
{
    image(lamp)->raise();
}

Lamp StatusLamp::front() const
{
    // raise() moves a widget to the end of its parent's children: the last of
    // our three images there is the one drawn on top.
    const QObjectList& stack = m_images[0]->parent()->children();
    for (auto it = stack.crbegin(); it != stack.crend(); ++it) {
        const auto found = std::find(m_images.begin(), m_images.end(), *it);
        if (found != m_images.end())
            return static_cast<Lamp>(found - m_images.begin());
    }
    return Lamp::NotConnected;
}

} // namespace kv
