#include "window/data_groups.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace qelvor {

QGroupBox* CDataGroups::BuildSendGroup(IControlMaker& maker) {
    auto* group = new QGroupBox(tr("Additional data"));
    auto* grid = new QGridLayout(group);
    grid->addWidget(
        maker.Check("HexSendData", tr("Send data as Hex"), &ComSetControls::HexSendData), 0, 0, 1,
        2);
    grid->addWidget(maker.Label("PreambleLabel", tr("Prefix")), 1, 0);
    grid->addWidget(maker.Edit("Preamble", &ComSetControls::Preamble), 1, 1);
    grid->addWidget(maker.Label("PostambleLabel", tr("Suffix")), 2, 0);
    grid->addWidget(maker.Edit("Postamble", &ComSetControls::Postamble), 2, 1);
    grid->addWidget(maker.Check("UsedCheckSum", tr("CheckSum"), &ComSetControls::UsedCheckSum), 3,
                    0);
    grid->addWidget(maker.List("CheckSum", {"CS_ASTM", "CS_LX20", "CS_BCC", "CRC16"},
                               &ComSetControls::CheckSum),
                    3, 1);
    grid->addWidget(
        maker.Label("CheckSumHint", tr("<CheckSum> in the data is replaced by the checksum")), 4, 0,
        1, 2);
    return group;
}

QGroupBox* CDataGroups::BuildSplitGroup(IControlMaker& maker) {
    auto* group = new QGroupBox(tr("Split received data && Response"));
    auto* grid = new QGridLayout(group);
    grid->addWidget(maker.Label("SplitStrsLabel", tr("Split ")), 0, 0);
    grid->addWidget(maker.Edit("SplitStrs", &ComSetControls::SplitStrs), 0, 1);
    grid->addWidget(maker.Check("HandShake", tr("Response"), &ComSetControls::HandShake), 1, 0);
    grid->addWidget(maker.Edit("RespondStrs", &ComSetControls::RespondStrs), 1, 1);
    return group;
}

}  // namespace qelvor
