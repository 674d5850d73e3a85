// A network address typed as four numbers 0..255, each in its own small field.
#pragma once

#include <QFrame>
#include <array>
#include <cstdint>

class QLineEdit;

class CIpAddressField final : public QFrame {
    Q_OBJECT

public:
    using Address = std::array<std::uint8_t, 4>;

    explicit CIpAddressField(QWidget* parent = nullptr);

    void SetAddress(const Address& address);
    // A blank number reads as 0.
    Address GetAddress() const;

    QLineEdit* Part(int index) const { return parts[index]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MoveTo(int index, bool toEnd);

    std::array<QLineEdit*, 4> parts{};
};
