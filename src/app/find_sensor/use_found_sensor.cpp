#include "app/find_sensor/use_found_sensor.h"

#include "app/find_sensor/found_sensor_model.h"
#include "app/find_sensor/window_line.h"

namespace kv {

void useFoundSensor(WindowLine& window, const FoundRow& found)
{
    // The port first: choosing it opens it, and choosing the rate reopens it at that rate.
    window.choosePort(found.portNumber);
    window.chooseRate(found.sensor.baudRate);
    window.chooseStation(found.sensor.station);
}

} // namespace kv
