// Frequency-converting devices: the frequency plan, the image correction on
// the worked example of docs/converters.md, and a round trip through an
// independent model of a converter measured with a broadband source.
#include "physics/Converter.h"
#include "physics/YFactor.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace physics;
Q_DECLARE_METATYPE(physics::ImageCorrectionInput)
Q_DECLARE_METATYPE(physics::DeviceMode)
Q_DECLARE_METATYPE(physics::Sideband)
Q_DECLARE_METATYPE(physics::ConverterError)

namespace {
const double kNone = std::nan("");
const double kInf = std::numeric_limits<double>::infinity();
const double k3dB = 10 * std::log10(2.0);
double db(double x) { return 10 * std::log10(x); }
double lin(double dB) { return std::pow(10, dB / 10); }
double nf(double te) { return db(1 + te / 290); }
double thot(double enrDb) { return 290 * (1 + lin(enrDb)); }
// The worked example: the amplifier formula reads 55 dB and 0.7 dB with a
// 15 dB source and Tcold 290 K.
const double kTa = 290 * (lin(0.7) - 1), kGa = lin(55), kTh = thot(15);
} // namespace

class TstConverter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void plan_data()
    {
        QTest::addColumn<DeviceMode>("mode");
        QTest::addColumn<double>("lo");
        QTest::addColumn<Sideband>("sideband");
        QTest::addColumn<double>("rf");
        QTest::addColumn<ConverterError>("error");
        QTest::addColumn<double>("ifMhz");
        QTest::addColumn<double>("image"); // NaN: none
        using enum DeviceMode;
        using enum Sideband;
        using E = ConverterError;
        QTest::newRow("amplifier: IF is the RF, no image, LO unused") << Amplifier << 0.0 << Lsb << 1296.0 << E::None << 1296.0 << kNone;
        QTest::newRow("LNB low band USB: LO 9750, RF 11000") << DownConverter << 9750.0 << Usb << 11000.0 << E::None << 1250.0 << 8500.0;
        QTest::newRow("LNB high band USB: LO 10600, RF 12750") << DownConverter << 10600.0 << Usb << 12750.0 << E::None << 2150.0 << 8450.0;
        QTest::newRow("DSB below the LO") << DownConverter << 10600.0 << Dsb << 10000.0 << E::None << 600.0 << 11200.0;
        QTest::newRow("DSB above the LO") << DownConverter << 9750.0 << Dsb << 11000.0 << E::None << 1250.0 << 8500.0;
        QTest::newRow("USB: image folds at 0 Hz") << DownConverter << 100.0 << Usb << 300.0 << E::None << 200.0 << 100.0;
        QTest::newRow("up-converter USB: 144 to 10368") << UpConverter << 10224.0 << Usb << 144.0 << E::None << 10368.0 << 20592.0;
        QTest::newRow("up-converter LSB: 144 to 10368") << UpConverter << 10512.0 << Lsb << 144.0 << E::None << 10368.0 << 20880.0;
        QTest::newRow("refused: LSB with the LO below the RF (negative IF)") << DownConverter << 9750.0 << Lsb << 11000.0 << E::IfNotPositive << 0.0 << kNone;
        QTest::newRow("refused: DSB with the RF on the LO (zero IF)") << DownConverter << 9750.0 << Dsb << 9750.0 << E::IfNotPositive << 0.0 << kNone;
        QTest::newRow("refused: zero LO") << DownConverter << 0.0 << Usb << 11000.0 << E::LoNotPositive << 0.0 << kNone;
        QTest::newRow("refused: zero RF") << Amplifier << 0.0 << Usb << 0.0 << E::RfNotPositive << 0.0 << kNone;
        QTest::newRow("refused: NaN LO") << DownConverter << kNone << Usb << 11000.0 << E::NotFinite << 0.0 << kNone;
        QTest::newRow("refused: down-converter whose IF is above the RF") << DownConverter << 1000.0 << Lsb << 300.0 << E::IfNotBelowRf << 0.0 << kNone;
        QTest::newRow("refused: up-converter whose IF is below the RF") << UpConverter << 200.0 << Lsb << 144.0 << E::IfNotAboveRf << 0.0 << kNone;
        QTest::newRow("refused: up-converter LSB, negative IF") << UpConverter << 100.0 << Lsb << 144.0 << E::IfNotPositive << 0.0 << kNone;
        QTest::newRow("refused: up-converter DSB") << UpConverter << 10224.0 << Dsb << 144.0 << E::DsbUpConverter << 0.0 << kNone;
    }
    void plan()
    {
        QFETCH(DeviceMode, mode);
        QFETCH(double, lo);
        QFETCH(Sideband, sideband);
        QFETCH(double, rf);
        QFETCH(ConverterError, error);
        QFETCH(double, ifMhz);
        QFETCH(double, image);
        const FrequencyPlan p = frequencyPlan(mode, lo, sideband, rf);
        QCOMPARE(p.error, error);
        if (!p.ok())
            return;
        QCOMPARE(p.ifMhz, ifMhz);
        QCOMPARE(p.imageMhz.has_value(), !std::isnan(image));
        if (p.imageMhz)
            QCOMPARE(*p.imageMhz, image);
    }

    // The amplifier reading of the worked example referred to one sideband.
    void correction_data()
    {
        QTest::addColumn<ImageCorrectionInput>("in");
        QTest::addColumn<ConverterError>("error");
        QTest::addColumn<double>("nfDb");
        QTest::addColumn<double>("gainDb");
        using E = ConverterError;
        // The example's reading with an image rejection, the image's source
        // temperature (NaN: as at the RF), the cold temperature and the gain.
        auto lnb = [](double irDb, double thi = kNone, double tc = 290, double gain = kGa) {
            ImageCorrectionInput in;
            in.te = kTa, in.gain = gain, in.tHot = kTh, in.tCold = tc, in.imageRejectionDb = irDb;
            if (!std::isnan(thi))
                in.tHotImage = thi;
            return in;
        };
        QTest::newRow("DSB: NF 3.01 dB up, gain 3.01 dB down") << lnb(0) << E::None << 0.7 + k3dB << 55 - k3dB;
        QTest::newRow("DSB, cold source at 300 K: still 3.01 dB") << lnb(0, kNone, 300) << E::None << 0.7 + k3dB << 55 - k3dB;
        QTest::newRow("DSB, image ENR 14 dB") << lnb(0, thot(14)) << E::None << 3.239019 << 52.460981;
        QTest::newRow("SSB, IR 20 dB") << lnb(20) << E::None << 0.7 + db(1.01) << 55 - db(1.01);
        QTest::newRow("SSB, IR 20 dB, image ENR 15.5 dB") << lnb(20, thot(15.5)) << E::None << 0.748457 << 54.951543;
        QTest::newRow("IR 999 dB: the amplifier reading") << lnb(999) << E::None << 0.7 << 55.0;
        QTest::newRow("IR infinite: the amplifier reading") << lnb(kInf) << E::None << 0.7 << 55.0;
        QTest::newRow("refused: IR below 0 dB") << lnb(-1) << E::ImageRejectionBelowZero << 0.0 << 0.0;
        QTest::newRow("refused: IR NaN") << lnb(kNone) << E::NotFinite << 0.0 << 0.0;
        QTest::newRow("refused: hot not above cold") << lnb(0, kNone, kTh) << E::NoExcessAtRf << 0.0 << 0.0;
        QTest::newRow("refused: hot below cold at the image") << lnb(0, 200) << E::NegativeExcessAtImage << 0.0 << 0.0;
        QTest::newRow("refused: zero gain") << lnb(0, kNone, 290, 0) << E::GainNotPositive << 0.0 << 0.0;
    }
    void correction()
    {
        QFETCH(ImageCorrectionInput, in);
        QFETCH(ConverterError, error);
        QFETCH(double, nfDb);
        QFETCH(double, gainDb);
        const ImageCorrection c = correctForImage(in);
        QCOMPARE(c.error, error);
        if (error != ConverterError::None)
            return;
        QVERIFY(c.ok());
        QVERIFY2(std::abs(c.device.nfDb - nfDb) < 1e-6, qPrintable(QString::number(c.device.nfDb, 'g', 12)));
        QVERIFY2(std::abs(c.device.gainDb - gainDb) < 1e-6, qPrintable(QString::number(c.device.gainDb, 'g', 12)));
    }

    // A converter of known single-sideband figures (IEEE: image termination
    // at 290 K), measured through levels the way the bench reads them: the
    // amplifier formula of `cascade` and then the correction must give the
    // device's own gain and noise back.
    void roundTrip_data()
    {
        QTest::addColumn<double>("gsDb");   // wanted-sideband gain
        QTest::addColumn<double>("teSsb");  // IEEE SSB noise temperature, K
        QTest::addColumn<double>("irDb");
        QTest::addColumn<double>("enrRf");
        QTest::addColumn<double>("enrImage");
        QTest::addColumn<double>("tCold");
        QTest::addColumn<double>("tColdImage"); // e.g. behind a warm pad of another loss there
        QTest::addColumn<double>("te2");    // receiver at the IF, K
        QTest::addColumn<double>("att22Db"); // attenuator after the device, at 290 K
        QTest::newRow("LNB, DSB") << 55.0 << 391.44 << 0.0 << 15.0 << 15.0 << 290.0 << 290.0 << 600.0 << 0.0;
        QTest::newRow("DSB mixer, 7 dB loss, 6 dB pad, warm cold") << -7.0 << 1800.0 << 0.0 << 15.0 << 14.0 << 300.0 << 300.0 << 350.0 << 6.0;
        QTest::newRow("transverter, IR 12 dB, image ENR 1 dB up") << 20.0 << 150.0 << 12.0 << 6.0 << 7.0 << 296.0 << 305.0 << 900.0 << 3.0;
        QTest::newRow("no image response") << 30.0 << 75.0 << kInf << 15.0 << 15.0 << 290.0 << 290.0 << 600.0 << 0.0;
    }
    void roundTrip()
    {
        QFETCH(double, gsDb);
        QFETCH(double, teSsb);
        QFETCH(double, irDb);
        QFETCH(double, enrRf);
        QFETCH(double, enrImage);
        QFETCH(double, tCold);
        QFETCH(double, tColdImage);
        QFETCH(double, te2);
        QFETCH(double, att22Db);
        const double gs = lin(gsDb), gi = gs / lin(irDb), tOwn = teSsb - 290 * gi / gs;
        const double th = thot(enrRf), thi = thot(enrImage), l22 = lin(att22Db);
        // Detector level in dB of a noise temperature at the receiver input.
        auto level = [&](double t) { return db(1e-3 * (t + te2)); };
        // The device output sums both sidebands; attenuator 2 at 290 K follows.
        auto device = [&](double ts, double ti) {
            return level((gs * (ts + tOwn) + gi * ti) / l22 + 290 * (1 - 1 / l22));
        };
        CascadeInput in{th, tCold, 290, 290, 0, 0, 0, att22Db, LevelUnits::Db,
                        LevelPair{level(tCold), level(th)}, LevelPair{device(tCold, tColdImage), device(th, thi)}};
        const CascadeResult amp = cascade(in);
        QVERIFY(amp.device.ok);
        ImageCorrectionInput ci;
        ci.te = amp.device.te, ci.gain = amp.device.gain, ci.imageRejectionDb = irDb;
        ci.tHot = amp.combined.tHot, ci.tCold = amp.combined.tCold, ci.tHotImage = thi, ci.tColdImage = tColdImage;
        const ImageCorrection c = correctForImage(ci);
        QVERIFY(c.ok());
        QVERIFY2(std::abs(c.device.te - teSsb) < 1e-6 * (teSsb + 290), qPrintable(QString::number(c.device.te, 'g', 12)));
        QVERIFY2(std::abs(c.device.gainDb - gsDb) < 1e-9, qPrintable(QString::number(c.device.gainDb, 'g', 12)));
        QVERIFY(std::abs(c.device.nfDb - nf(teSsb)) < 1e-6);
    }
};

QTEST_GUILESS_MAIN(TstConverter)
#include "tst_converter.moc"
