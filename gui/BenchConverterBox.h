#pragma once
// The virtual bench window's group for the DUT as a frequency converter:
// device mode, LO, the wanted sideband and the image rejection of the
// bench's own DUT (BenchConverter, acquire/Bench.h). The LO, sideband and
// image rejection are enabled for a converter only. GUI thread only.

#include "acquire/Bench.h"

#include <QGroupBox>

#include <functional>

class QComboBox;
class QDoubleSpinBox;

class BenchConverterBox : public QGroupBox
{
public:
    BenchConverterBox(const BenchConverter &c, QWidget *parent);
    BenchConverter converter() const;
    // Called after every completed change of a control.
    void setOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }

private:
    void changed();

    QComboBox *m_mode, *m_sideband; // physics::DeviceMode order; LSB, USB
    QDoubleSpinBox *m_lo, *m_imageRejection;
    std::function<void()> m_onChange;
};
