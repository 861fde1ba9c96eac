#include "app/find_sensor/use_found_sensor.h"

#include "app/control_set.h"
#include "app/find_sensor/found_sensor_model.h"
#include "app/form.h"
#include "app/pick_list.h"

namespace kv {

void useFoundSensor(Form& form, const FoundRow& found)
{
    form.controls.get<PickList>(u"Combo1")->chooseText(QStringLiteral("COM%1").arg(found.portNumber));
    form.controls.get<PickList>(u"Combo2")->chooseText(QString::number(found.sensor.baudRate));
    form.controls.setText(u"txtStationID", QString::number(found.sensor.station));
}

} // namespace kv
