// The instrument connection dialog: how the library reaches the signal
// generator (GPIB, LAN or serial line, with the bus's address settings),
// with a button that checks whether an instrument answers there.
//
// run() opens the dialog for a connection record, waits until OK, Cancel or
// the close button, and hands back the answer and the record: the record as
// opened (after conversion of the older flat form and clamping) unless the
// answer is "OK", when the dialog's fields are copied into it. Fields the
// dialog does not know (BBGtype, LastParameterFilename, ...) come back as
// they were. The dialog is loaded for each use and deleted afterwards.
//
// The controls of each bus form a group (the panels configGPIB, configTCPIP
// and configRS232 of the dialog's layout); only the selected bus's group is
// shown.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/platform/platform.hpp"
#include "app/windows/modal_answer.hpp"
#include "runtime/value.hpp"

namespace tolvane::app {

class SigGenConnection {
public:
    static constexpr const char* kLayoutName = "QV_SigGen";
    static constexpr const char* kWindowTag = "figureVisaAddress";

    // Which buses the dialog offers.
    enum Model { AllBuses = 0, NoLan = 1, NoSerial = 2 };

    explicit SigGenConnection(Platform& platform);

    // Opens the dialog over the parent (0: none) for the connection record
    // (an unset value, or one that is not a record, starts from initConfig).
    // `platformGeneration`: "b" or "c" (any case) choose the model; any other
    // non-empty text is a title word ("Spectrum Analyzer" gives the title
    // "Spectrum Analyzer IO Connection"); empty: all buses, the layout's title.
    std::pair<std::string, Value> run(WindowId parent, const Value& connection,
                                      const std::string& platformGeneration);

    // Routes the window's events by the calling control's tag (the close
    // button as a close request) to the callbacks below; a tag without a
    // callback does nothing. Errors (tolvane::Error) go to the console.
    void dispatch(const CallbackEvent& event);

    // --- local functions
    // The record with the dialog's defaults set: type GPIB, board 0,
    // primary 19, secondary -1, port 1, 19200 baud, Xon/Xoff, address
    // 0.0.0.0, LAN board 0; the record's other fields are kept.
    static Value initConfig(const Value& config = Value());
    // The older flat record (field Connection) in the current form; any
    // other record unchanged.
    Value reStructureConfig(const Value& config) const;
    void UpdateGuiObjects(Value config);
    void UpdateConnectionSelections(Value& config);
    Value UpdateConfig() const;
    void UpdateRS232HandShakingToolTip();
    // The position (1-based) of the text in a list of entries, "TCPIP"
    // standing for "TCP/IP", letter case ignored; 1 when none matches.
    static int ConvertStringToIndex(const Value& list, const std::string& text);
    // The entry at the position, "TCP/IP" given as "TCPIP"; the first entry
    // as it is for a position outside the list.
    static std::string ConvertIndexToString(const Value& list, double index);
    // The tags of the group's controls in the dialog ("configGPIB", ...).
    std::vector<std::string> addControls(const std::string& group) const;
    void showControls();
    void EnableGuiObjects();
    void UpdateIoAddress() {}

    // The advice for the instrument's serial pacing, by handshake entry.
    static std::string handshakeAdvice(int entry);

    // --- callbacks
    void pmConnection_Callback();
    void pmGpibBoard_Callback() { UpdateIoAddress(); }
    void pmPrimaryAddress_Callback() { UpdateIoAddress(); }
    void pmSecondaryAddress_Callback() { UpdateIoAddress(); }
    void pmPortNumber_Callback() { UpdateIoAddress(); }
    void pmBaudRate_Callback() { UpdateIoAddress(); }
    void pmHandShake_Callback();
    void editTCPIPAddress_Callback() { UpdateIoAddress(); }
    void pbCheckHardware_Callback();
    void pbOK_Callback();
    void pbCancel_Callback();

    // --- state while the dialog is open
    WindowId window() const { return window_; }
    Model model() const { return model_; }

private:
    Value openingRecord(const Value& connection) const;
    int selected(const char* tag) const;
    Value items(const char* tag) const;
    void setStatus(const std::string& text);
    void place(WindowId parent);

    Platform& platform_;
    WindowId window_ = 0;
    Model model_ = AllBuses;
    ModalAnswer modal_{platform_};
    Value layoutBusList_;  // the model-0 list of the layout
    std::vector<std::string> handlesGPIB_, handlesTCPIP_, handlesRS232_;
};

}  // namespace tolvane::app
