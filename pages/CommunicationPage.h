// The Communication page: the serial settings of the unit's configuration port and of its
// three instrument ports, its network address and its modem.
#pragma once

#include <array>

#include "pages/ConfigPage.h"

class CIpAddressField;
class QCheckBox;
class QComboBox;
class QLineEdit;

class CCommunicationPage final : public CConfigPage {
    Q_OBJECT

public:
    explicit CCommunicationPage(UnitConfig* config, QWidget* parent = nullptr);

    void LoadFromConfig() override;
    void StoreToConfig() override;

private:
    struct PortControls {
        QComboBox* baudRate;
        QComboBox* dataBits;
        QComboBox* parity;
    };

    QWidget* CreatePortGroup(int group);
    QWidget* CreateNetworkGroup();
    QWidget* CreateModemGroup();

    std::array<PortControls, 4> ports{};
    QCheckBox* flowControl = nullptr;
    CIpAddressField* address = nullptr;
    CIpAddressField* subnet = nullptr;
    QCheckBox* useModem = nullptr;
    QLineEdit* modemInit = nullptr;
};
