// Options > Receiver control: which rig TQX tunes through Hamlib for a
// sweep, where it is connected, and a Test that opens it, reads its
// frequency back and closes it again. The receiver is open only during the
// Test. OK stores the choice in the settings section "Rig"
// (instrument/RigSettings.h). Modal; user-interface thread only.
#include "gui/Dialogs.h"

#include "gui/ValueLabel.h"

#include "instrument/Instrument.h"
#include "instrument/RigSettings.h"
#include "instrument/SweepCommands.h"

#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kTestTimeoutMs = 5000;

class ReceiverControlDialog : public QDialog
{
public:
    ReceiverControlDialog(Instrument &m, QWidget *parent);
    ~ReceiverControlDialog() override { stopTest(); }

    void done(int r) override
    {
        stopTest();
        QDialog::done(r);
    }

private:
    RigConfig config() const;
    void filter(const QString &text);
    void test();
    void testAnswered(const RigResult &r);
    void stopTest();
    void okClicked();

    Instrument &m_instrument;
    IRig *m_rig; // not owned; null without receiver control
    QLineEdit *m_search;
    QListWidget *m_models; // "none", then m_infos; item data: the model number
    QList<RigModelInfo> m_infos;
    QLineEdit *m_port;
    QComboBox *m_speed; // item data: bit/s, 0 = the model's default
    QPushButton *m_test;
    ValueLabel *m_result; // screen readers hear the result as its value
    bool m_testing = false;
};

ReceiverControlDialog::ReceiverControlDialog(Instrument &m, QWidget *parent)
    : QDialog(parent), m_instrument(m), m_rig(m.services().rig)
{
    setObjectName(QStringLiteral("frmRigControl"));
    setWindowTitle(QStringLiteral("Receiver control"));
    setAccessibleName(QStringLiteral("Receiver control"));
    const RigConfig saved = currentRigConfig(m);

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("txtRigSearch"));
    m_search->setPlaceholderText(QStringLiteral("maker, model or number"));
    m_search->setClearButtonEnabled(true);

    m_models = new QListWidget(this);
    m_models->setObjectName(QStringLiteral("lstRigModel"));
    m_models->setMinimumHeight(m_models->fontMetrics().height() * 10);
    auto add = [this](const QString &label, int model) {
        auto *item = new QListWidgetItem(label, m_models);
        item->setData(Qt::UserRole, model);
        return item;
    };
    m_models->setCurrentItem(add(QStringLiteral("none"), 0));
    QList<RigModelInfo> models = m_rig ? m_rig->models() : QList<RigModelInfo>();
    const bool known = std::any_of(models.begin(), models.end(),
                                   [&](const RigModelInfo &i) { return i.model == saved.model; });
    if (saved.model > 0 && !known) // a stored model this Hamlib lacks stays choosable
        models.append({saved.model, QStringLiteral("Hamlib rig model"), QString::number(saved.model)});
    m_infos = models;
    for (const RigModelInfo &info : std::as_const(models)) {
        QListWidgetItem *item = add(RigSettings::modelLabel(info), info.model);
        if (info.model == saved.model)
            m_models->setCurrentItem(item);
    }

    m_port = new QLineEdit(saved.port, this);
    m_port->setObjectName(QStringLiteral("txtRigPort"));
    m_port->setPlaceholderText(QStringLiteral("/dev/ttyUSB0, or localhost:4532 for rigctld"));
    m_port->setMaxLength(RigSettings::kMaxPortLength);

    m_speed = new QComboBox(this);
    m_speed->setObjectName(QStringLiteral("cboRigSpeed"));
    m_speed->addItem(QStringLiteral("the model's default"), 0);
    for (int baud : RigSettings::serialSpeeds())
        m_speed->addItem(QStringLiteral("%1 bit/s").arg(baud), baud);
    m_speed->setCurrentIndex(std::max(0, m_speed->findData(saved.baud)));

    m_test = new QPushButton(QStringLiteral("&Test"), this);
    m_test->setObjectName(QStringLiteral("btnRigTest"));
    m_test->setAccessibleName(QStringLiteral("Test: read the receiver's frequency"));
    m_test->setAutoDefault(false);
    m_test->setEnabled(m_rig != nullptr);
    m_result = new ValueLabel(QStringLiteral("lblRigTestResult"), QStringLiteral("Test result"), this);
    m_result->setWordWrap(true);
    m_result->setMinimumWidth(m_result->fontMetrics().averageCharWidth() * 50);

    auto *form = new QFormLayout;
    auto addRow = [&](const QString &caption, QWidget *w) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(w);
        w->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
        form->addRow(label, w);
    };
    addRow(QStringLiteral("S&earch"), m_search);
    addRow(QStringLiteral("Rig &model"), m_models);
    addRow(QStringLiteral("&Port or address"), m_port);
    addRow(QStringLiteral("Serial &speed"), m_speed);
    auto *testRow = new QHBoxLayout;
    testRow->addWidget(m_test);
    testRow->addWidget(m_result, 1);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto *top = new QVBoxLayout(this);
    top->addLayout(form, 1);
    top->addLayout(testRow);
    top->addLayout(buttons);

    connect(m_search, &QLineEdit::textChanged, this, &ReceiverControlDialog::filter);
    connect(m_test, &QPushButton::clicked, this, &ReceiverControlDialog::test);
    connect(ok, &QPushButton::clicked, this, &ReceiverControlDialog::okClicked);
    connect(cancel, &QPushButton::clicked, this, &ReceiverControlDialog::reject);
    m_models->scrollToItem(m_models->currentItem());
}

RigConfig ReceiverControlDialog::config() const
{
    RigConfig c;
    const QListWidgetItem *item = m_models->currentItem();
    c.model = item ? item->data(Qt::UserRole).toInt() : 0;
    c.port = m_port->text().trimmed();
    c.baud = m_speed->currentData().toInt();
    return c;
}

void ReceiverControlDialog::filter(const QString &text)
{
    QListWidgetItem *firstShown = nullptr;
    for (int i = 0; i < m_models->count(); ++i) {
        QListWidgetItem *item = m_models->item(i);
        const bool shown = i == 0 || RigSettings::modelMatches(m_infos.value(i - 1), text); // "none" always
        item->setHidden(!shown);
        if (shown && i > 0 && !firstShown)
            firstShown = item;
    }
    // The choice follows the search, so that typing a name and OK is enough.
    if (m_models->currentItem() && m_models->currentItem()->isHidden())
        m_models->setCurrentItem(firstShown ? firstShown : m_models->item(0));
    else if (firstShown && m_models->currentRow() == 0 && !text.trimmed().isEmpty())
        m_models->setCurrentItem(firstShown);
}

void ReceiverControlDialog::test()
{
    if (!m_rig || m_testing)
        return;
    m_testing = true;
    m_test->setEnabled(false);
    m_result->setValueText(QStringLiteral("Opening the receiver..."));
    m_rig->open(config(), kTestTimeoutMs, [this](const RigResult &r) { testAnswered(r); });
}

void ReceiverControlDialog::testAnswered(const RigResult &r)
{
    stopTest();
    const int model = config().model;
    auto info = std::find_if(m_infos.cbegin(), m_infos.cend(),
                             [model](const RigModelInfo &i) { return i.model == model; });
    const QString rig =
        info != m_infos.cend() ? info->maker + QLatin1Char(' ') + info->name : QStringLiteral("The receiver");
    if (r.ok)
        m_result->setValueText(
            QStringLiteral("%1 answers: tuned to %2.").arg(rig, RigSettings::frequencyText(r.hz)));
    else
        m_result->setValueText(r.error);
}

void ReceiverControlDialog::stopTest()
{
    if (!m_testing)
        return;
    m_testing = false;
    m_rig->close();
    m_test->setEnabled(true);
}

void ReceiverControlDialog::okClicked()
{
    storeRigConfig(m_instrument, config());
    accept();
}

} // namespace

QDialog *createReceiverControlDialog(Instrument &m, QWidget *parent)
{
    return new ReceiverControlDialog(m, parent);
}
