#pragma once

#include <array>

class QWidget;

namespace kv {

enum class Lamp { Connected, Yellow, NotConnected };

// The three stacked status images: showing a colour brings its image to the
// front; which one is in front is read back from the stacking order itself.
class StatusLamp {
public:
    StatusLamp(QWidget* green, QWidget* yellow, QWidget* red);

    void show(Lamp lamp);
    Lamp front() const;

private:
    QWidget* image(Lamp lamp) const;

    std::array<QWidget*, 3> m_images;
};

} // namespace kv
