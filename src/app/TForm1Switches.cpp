// The digital input handlers of the two interface kits: each switch change
// becomes one message to the bridge and colours its indicator label.
#include "app/TForm1.h"
#include "inputs/Switches.h"

namespace zrk {

void TForm1::PhidgetInterfaceKit2InputChange(int index, bool state)
{
    SwitchChanged(InterfaceCard::Main, index, state);
}

void TForm1::PhidgetInterfaceKit1InputChange(int index, bool state)
{
    SwitchChanged(InterfaceCard::Second, index, state);
}

void TForm1::SwitchChanged(InterfaceCard card, int index, bool closed)
{
    const bool is747 = aircraft_type.ItemIndex == 2;
    const auto report = SwitchChange(SwitchSettingsOf(cfg), card, is747, index, closed);
    if (!report)
        return;
    if (report->label != 0)
        Label(report->label).FontColor = report->labelColor;
    Send_Server_Message(report->message);
}

} // namespace zrk
