#pragma once
// ENR table of the noise source (excess noise ratio in dB against frequency
// in MHz) with its interpolation (natural cubic spline by default, or linear
// in dB, or monotone cubic; see physics/Spline.h), and the File menu entries
// that import and unload it; also the calibration path's own table (the
// receiver alone is calibrated at a converter's IF, where the source's ENR
// differs from the one at the RF). User-interface thread only.
//
// The interpolation chosen is not part of the file, which other programs and
// older versions read as it is: it is remembered beside the file's name
// (Session::EnrInterpolation, stored with EnrFileName in the settings).
//
// File format (text, UTF-8 or ASCII, LF or CR LF line ends):
//   empty line          ignored
//   "#* " + text        description of the source (first 30 characters go
//                       to the Source field); otherwise a comment
//   "#..."              comment
//   freq TAB enr [TAB anything]   data record, frequency in MHz, ENR in dB
// 3 to 100 records with strictly increasing frequencies, the first > 0.
// Numbers take '.' or ',' as the decimal mark, whatever the user's locale:
// the file is interchange data, and vendors write their tables with points.

#include "physics/Spline.h"
#include "platform/Messages.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

#include <optional>
#include <vector>

class IFileDialogs;
struct Session;

struct EnrTable {
    QVector<double> freq;   // knots, MHz, strictly increasing
    QVector<double> enr;    // ENR at the knots, dB
    QVector<double> y2;     // spline second derivatives at the knots, dB/MHz^2
    QVector<double> slopes; // monotone cubic's slopes at the knots, dB/MHz
    // How ENR is read between the knots everywhere: the sheet, sweeps, the
    // budget, the ENR view.
    physics::Interpolation method = physics::Interpolation::NaturalSpline;
    // Columns that a vendor file may carry, one value per knot, or empty:
    // the ENR uncertainty (dB, as calibration certificates state it:
    // expanded, about 95 %), and the source's reflection coefficient on and
    // off (magnitude 0..1, phase in degrees).
    QVector<double> unc;
    QVector<double> onMag, onPhase, offMag, offPhase;

    int size() const { return static_cast<int>(freq.size()); }
};

// Largest ENR table file accepted (bytes); anything larger is refused
// before it is parsed.
inline constexpr qint64 kEnrFileMaxBytes = 1024 * 1024;

// Fill y2 with the second derivatives of the natural cubic spline through
// (freq, enr), and slopes with the monotone cubic's; needs at least 2 knots
// with strictly increasing frequencies (with two, both curves are the
// straight line between them in dB).
void fitSpline(EnrTable &table);
// The ENR (dB) at abscissa (MHz) by the table's method. Outside the knots
// the first or last interval's curve extrapolates; there is no range check.
double csinterpolate(const EnrTable &table, double abscissa);
// The same by a given method (the ENR view draws all three).
double enrAt(const EnrTable &table, physics::Interpolation method, double mhz);
// Half the difference (dB) between the table's curve and the straight line
// in dB at mhz: the half width of the interpolation's rectangular
// uncertainty in the budget (0 for the linear method itself).
double enrInterpolationHalfWidth(const EnrTable &table, double mhz);

// A spline leaving the range of two neighbouring knots by more than this
// (dB) is reported on loading: it is a quarter of a typical ENR uncertainty.
inline constexpr double kEnrOvershootDb = 0.05;
// The intervals over which the natural spline through `table` leaves the
// range of its two knots by more than kEnrOvershootDb.
std::vector<physics::Excursion> splineOvershoots(const EnrTable &table);

// The method's key in the settings ("spline", "linear", "monotone") and its
// name for the user; a key that names no method gives nothing.
QString interpolationKey(physics::Interpolation method);
std::optional<physics::Interpolation> interpolationFromKey(const QString &key);
QString interpolationName(physics::Interpolation method);

// A number of the ENR file: optional blanks, sign, digits with '.' or ','
// as the decimal mark, optional exponent; no grouping. Empty when the text
// is not a finite number.
std::optional<double> EnrFileNumber(const QString &text);

// What reading an ENR file yields, before anything on the sheet changes.
struct EnrFileMessage {
    QString caption;
    QString text;
    MsgIcon icon = MsgIcon::None;
};
struct EnrFileContents {
    EnrTable table;                 // the records read (y2 not yet fitted)
    std::optional<QString> source;  // the last "#* " line, at most 30 characters
    QList<EnrFileMessage> messages; // to be shown in this order
    bool failed = false;            // the load is refused
};
// Parses the bytes of an ENR file (UTF-8, CR, LF or CR LF line ends, an
// optional byte order mark): TQX's own table, or a vendor file (see
// calc/VendorEnr.h), told apart by content. Pure; at most kEnrFileMaxBytes
// are expected.
EnrFileContents ParseEnrFile(const QByteArray &bytes);

// Load Session::EnrFileName into `table` (the table in use, owned by its
// user) with the method remembered in Session::EnrInterpolation, fit the
// curves and apply the ENR at the current Frequency (ENR, Tcold, Thot set,
// locked and blue; mnuEnrUnl enabled): Tcold is Session::SourceOffK and
// Thot = 290 K * 10^(ENR/10) + Tcold. Refused with a message, the name kept,
// while Session::HotColdLoads is set. No method remembered yet (a new
// table): the natural spline, and where it leaves the range of two
// neighbouring knots by more than kEnrOvershootDb, a question naming where
// and by how much offers the monotone cubic; the answer is remembered.
// Reports every problem through `messages`; 0 on success, 1 on failure. A
// failed load empties EnrFileName and EnrInterpolation and leaves `table`,
// the fields and Source untouched.
int LoadEnrTable(Session &m, EnrTable &table, IMessages &messages);
// mnuEnrImp: choose a file, then LoadEnrTable with no method remembered.
// Nothing happens without file dialogs.
void EnrImport(Session &m, EnrTable &table, IMessages &messages, IFileDialogs *fileDialogs);
// mnuEnrUnl: forget the table and its method, unlock the fields.
void EnrUnload(Session &m, EnrTable &table);

// The calibration path's own table: Session::CalEnrFileName loaded into
// `table` with the parser, the messages and the method choice of
// LoadEnrTable, and mnuCalEnrUnl enabled. Nothing on the sheet's fields
// changes (ENR, Thot and Tcold stay those of the device input). The ENR is
// checked at mhz, where the calibration reads it (calibrationMhz in
// calc/Results.h), when that lies within the knots: a table is never
// extrapolated for the calibration. 0 on success, 1 on failure (the name
// and method emptied, `table` untouched).
int LoadCalibrationEnrTable(Session &m, EnrTable &table, IMessages &messages, double mhz);
// mnuCalEnrImp: choose a file, then LoadCalibrationEnrTable with no method
// remembered; a refused file leaves a table in use, and its name, as they were.
void CalEnrImport(Session &m, EnrTable &table, IMessages &messages, IFileDialogs *fileDialogs, double mhz);
// mnuCalEnrUnl: forget the calibration table; the calibration path reads the
// measurement table again.
void CalEnrUnload(Session &m, EnrTable &table);
