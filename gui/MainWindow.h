#pragma once
// frmMain: the instrument panel. It shows the measurement sheet of the
// Instrument facade and forwards every user event to it; after each event it
// mirrors the sheet (texts, colours, locks, enabled and checked states).
// It holds no rules of its own.

#include "sheet/Sheet.h"

#include <QMainWindow>
#include <array>

class Instrument;
class FieldEdit;
class UnitsCombo;
class NotesEdit;
class QAction;
class QPushButton;
class QGroupBox;
class QGridLayout;
class QLabel;
class RepeatRun;
class ValueLabel;
class QDialog;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(Instrument &instrument, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Runs the load step, shows the window, then the start-up reload of the
    // remembered ENR table.
    void loadAndShow();
    // Copies the sheet into the widgets.
    void syncFromSheet();

    QWidget *fieldWidget(Field f) const;
    QAction *action(Control c) const;
    QPushButton *button(Control c) const;

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void buildMenus();
    void buildPanel();
    QGroupBox *buildGeneral();
    QGroupBox *buildPath(const QString &title, Field att1, Field att2, Control lo, Field loField,
                         Control hi, Field hiField, Field y, Field teq, Field nf, const QString &suffix);
    QGroupBox *buildDut();
    // The repeatability lines under NF(1) (dut) or NF(2): predicted, observed.
    void addRepeatLines(QGridLayout *grid, int row, bool dut);
    void syncRepeat();
    void showRepeatDialog();
    QWidget *buildGuardStrip();
    FieldEdit *addField(QGridLayout *grid, int row, int col, Field f, const QString &label);
    FieldEdit *makeField(Field f);
    QPushButton *makeButton(Control c, const QString &caption);
    QAction *makeAction(QMenu *menu, Control c, const QString &caption, const QKeySequence &key = {},
                        bool checkable = false);
    void fitToScreen();
    void makeRoomForWarnings();
    bool validateFocused();
    void onClick(Control c);
    bool onValidate(Field f);

    Instrument &m_instrument;
    bool m_unloaded = false;
    std::array<QWidget *, static_cast<int>(Field::Count)> m_fields{};
    std::array<QAction *, static_cast<int>(Control::Count)> m_actions{};
    std::array<QPushButton *, static_cast<int>(Control::Count)> m_buttons{};
    UnitsCombo *m_units = nullptr;
    NotesEdit *m_notes = nullptr;
    ValueLabel *m_calibration = nullptr; // the calibration's state
    ValueLabel *m_guardLine = nullptr;   // the guards' warnings, one a line
    ValueLabel *m_ifLabel = nullptr;     // a converter's IF under Frequency
    QAction *m_hotCold = nullptr; // Options > Hot and cold loads: the session's choice, not a sheet control
    RepeatRun *m_repeat = nullptr;
    ValueLabel *m_predicted[2] = {}; // NF(1), NF(2)
    ValueLabel *m_observed[2] = {};
    QDialog *m_repeatDialog = nullptr;
};
