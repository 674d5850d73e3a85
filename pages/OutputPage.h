// The Output page: how the unit hands its readings on, through four 4-20 mA channels or a
// MODBUS port, and the MODBUS port's settings.
#pragma once

#include <array>
#include <cstdint>

#include "pages/ConfigPage.h"

class CValueEdit;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

class COutputPage final : public CConfigPage {
    Q_OBJECT

public:
    explicit COutputPage(UnitConfig* config, QWidget* parent = nullptr);

    void LoadFromConfig() override;
    void StoreToConfig() override;

signals:
    // "Test Analog Outputs" was pressed. The main window opens the test dialog, with the
    // record as it stands: the page is not stored first.
    void TestOutputsRequested();

private:
    // The quantities an analog channel can carry, in list order.
    static constexpr std::array<std::uint8_t, 17> kOutputQuantities = {
        1, 4, 6, 11, 12, 15, 16, 18, 19, 20, 21, 23, 38, 39, 40, 41, 42};

    // The controls of one analog channel, "Channel 1" .. "Channel 4".
    struct ChannelRow {
        QCheckBox* enabled;
        QComboBox* instrument;
        QComboBox* quantity;
        CValueEdit* at4mA;
        QLabel* units4mA;
        CValueEdit* at20mA;
        QLabel* units20mA;
    };

    QWidget* BuildAnalogOutput();
    QWidget* BuildModbus();

    // Enables the controls by the output type, the channels the unit has and the record.
    void UpdateEnabling();
    // Both unit labels of a channel follow the quantity selected in its list, and the
    // channel's values are read in that unit.
    void ShowUnitLabels(int channel);

    bool AnalogMode() const;
    bool ChannelPresent(int channel) const;

    QComboBox* outputType = nullptr;
    std::array<ChannelRow, 4> channels{};
    // Holds the five MODBUS settings with their captions.
    QWidget* modbusSettings = nullptr;
    QComboBox* protocol = nullptr;
    QLineEdit* address = nullptr;
    QComboBox* baudRate = nullptr;
    QComboBox* dataBits = nullptr;
    QComboBox* parity = nullptr;
    QCheckBox* alternatePort = nullptr;
};
