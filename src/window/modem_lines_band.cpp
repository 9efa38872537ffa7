#include "window/modem_lines_band.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include "mainwnd/main_engine.h"
#include "window/band_host.h"

namespace qelvor {

namespace {

constexpr int kBandHeight = 28;

struct Lamp {
    const char* objectName;
    const char* line;
    int bit;
};
constexpr Lamp kLamps[] = {
    {"LineCts", "CTS", StreamPort::kLineCts},
    {"LineDsr", "DSR", StreamPort::kLineDsr},
    {"LineDcd", "DCD", StreamPort::kLineDcd},
    {"LineRi", "RI", StreamPort::kLineRi},
};

// A lit lamp is a filled green dot, a dark one a hollow dot in the text
// colour: the shape tells them apart in any palette, and this green reads on
// light and dark backgrounds alike.
constexpr const char* kLitColour = "#2fb344";

}  // namespace

CModemLinesBand::CModemLinesBand(IBandHost& host) : host_(host), engine_(host.Engine()) {
    setObjectName(QStringLiteral("ModemLines"));
    setFixedHeight(kBandHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(6);
    dtr_ = AddOutput("LineDtr", "DTR");
    rts_ = AddOutput("LineRts", "RTS");
    connect(dtr_, &QToolButton::clicked, this, [this](bool on) {
        if (!engine_.SetDtr(on)) Refresh();
    });
    connect(rts_, &QToolButton::clicked, this, [this](bool on) {
        if (!engine_.SetRts(on)) Refresh();
    });
    break_ = new QPushButton(tr("Break"), this);
    break_->setObjectName(QStringLiteral("LineBreak"));
    break_->setAutoDefault(false);
    break_->setToolTip(tr("Holds the line in the break state for 250 ms"));
    connect(break_, &QPushButton::clicked, this, [this] { engine_.SendBreak(); });
    row->addWidget(dtr_);
    row->addWidget(rts_);
    row->addWidget(break_);
    row->addSpacing(8);
    for (size_t i = 0; i < lamps_.size(); ++i) {
        lamps_[i] = AddLamp(kLamps[i].objectName);
        row->addWidget(lamps_[i]);
    }
    note_ = new QLabel(tr("Modem lines not available on this device"), this);
    note_->setObjectName(QStringLiteral("LinesNote"));
    row->addSpacing(8);
    row->addWidget(note_, 1);
    row->addStretch(0);
    host_.AddBand(this);
    Refresh();
}

QToolButton* CModemLinesBand::AddOutput(const char* name, const char* label) {
    auto* button = new QToolButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(QString::fromLatin1(label));
    button->setCheckable(true);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}

QLabel* CModemLinesBand::AddLamp(const char* name) {
    auto* lamp = new QLabel(this);
    lamp->setObjectName(QString::fromLatin1(name));
    lamp->setTextFormat(Qt::RichText);
    return lamp;
}

void CModemLinesBand::ShowLamp(QLabel* lamp, const QString& name, bool on) {
    const QChar filled(0x25CF), hollow(0x25CB);
    const QString dot = on ? QStringLiteral("<span style=\"color:%1\">%2</span>")
                                 .arg(QLatin1String(kLitColour), filled)
                           : QString(hollow);
    lamp->setText(dot + QChar(QChar::Nbsp) + name);
    lamp->setProperty("on", on);
    lamp->setToolTip(on ? tr("%1 on").arg(name) : tr("%1 off").arg(name));
}

void CModemLinesBand::ShowControls(const ControlLineState& lines) {
    const bool live = lines.available;
    dtr_->setEnabled(live);
    rts_->setEnabled(live);
    break_->setEnabled(live && !lines.breakOn);
    dtr_->setChecked(live && (lines.lines & StreamPort::kLineDtr) != 0);
    rts_->setChecked(live && (lines.lines & StreamPort::kLineRts) != 0);
    for (size_t i = 0; i < lamps_.size(); ++i) {
        lamps_[i]->setEnabled(live);
        ShowLamp(lamps_[i], QString::fromLatin1(kLamps[i].line),
                 live && (lines.lines & kLamps[i].bit) != 0);
    }
    note_->setVisible(!live);
}

void CModemLinesBand::Refresh() {
    const ControlLineState& lines = engine_.State().controlLines;
    ShowControls(lines);
    host_.SetBandShown(this, lines.shown);
}

}  // namespace qelvor
