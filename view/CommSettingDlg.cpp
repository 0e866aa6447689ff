#include "view/CommSettingDlg.h"

#include "app/resource.h"
#include "comm/comm.h"
#include "comm/enumser.h"
#include "framework/core/MessageBox.h"
#include "framework/core/Resource.h"
#include "framework/net/RemotePortName.h"
#include "framework/serial/PortTable.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

constexpr DWORD kNotFoundRate = 0xFFFFFFFFu;
constexpr BYTE kNotFoundValue = 255;

// The rates the list offers: the usual ones up to 115200, then those of today's boards and USB bridges.
constexpr DWORD kListedRates[] = {110u,    300u,    600u,     1200u,    2400u,    4800u,    9600u,   14400u,
                                  19200u,  38400u,  56000u,   57600u,   115200u,  230400u,  460800u, 500000u,
                                  576000u, 921600u, 1000000u, 1500000u, 2000000u, 3000000u, 4000000u};

const DialogTemplate kCommSettingTemplate = {
    "Kestrune: Serial Port Settings",
    205,
    123,
    "MS Sans Serif",
    8,
    {
        {DialogControlKind::GroupBox, IDC_STATIC, "Settings", 5, 6, 135, 112},
        {DialogControlKind::Label, IDC_STATIC, "Port :", 10, 22, 64, 8, DS_ALIGN_RIGHT},
        {DialogControlKind::DropDown, IDC_COM_PORT, "", 80, 20, 50, 74, DS_VSCROLL},
        {DialogControlKind::Label, IDC_STATIC, "Baud rate :", 10, 40, 64, 8, DS_ALIGN_RIGHT},
        {DialogControlKind::DropDown, IDC_COM_BAUD_RATE, "", 80, 38, 50, 74, DS_VSCROLL},
        {DialogControlKind::Label, IDC_STATIC, "Data :", 10, 58, 64, 8, DS_ALIGN_RIGHT},
        {DialogControlKind::DropList, IDC_COM_DATA_SIZE, "", 80, 56, 50, 74},
        {DialogControlKind::Label, IDC_STATIC, "Parity :", 10, 76, 64, 8, DS_ALIGN_RIGHT},
        {DialogControlKind::DropList, IDC_COM_PARITY, "", 80, 74, 50, 74},
        {DialogControlKind::Label, IDC_STATIC, "Stop :", 10, 94, 64, 8, DS_ALIGN_RIGHT},
        {DialogControlKind::DropList, IDC_COM_STOP_BIT, "", 80, 92, 50, 74},
        {DialogControlKind::PushButton, IDOK, "OK", 149, 6, 50, 14, DS_DEFAULT_BUTTON},
        {DialogControlKind::PushButton, IDCANCEL, "Cancel", 149, 23, 50, 14},
    },
};

// The number at the start of a text as atol reads it, without atol's undefined overflow.
long LeadingNumber(const CString& text) {
    return std::strtol(text.c_str(), nullptr, 10);
}

// The key of the first entry, in map order, whose value equals the port's; empty when none has it.
template <class Map> CString TextOfValue(const Map& map, DWORD value) {
    for (const auto& entry : map) {
        if (entry.second == value)
            return entry.first;
    }
    return CString();
}

template <class Map> void FillList(CComboBox* list, const Map& map, const CString& text) {
    if (list == nullptr)
        return;
    for (const auto& entry : map)
        list->AddString(entry.first);
    list->SelectString(-1, text);
}

bool SameIgnoringCase(const CString& left, const CString& right) {
    if (left.size() != right.size())
        return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(left[i])) !=
            std::tolower(static_cast<unsigned char>(right[i])))
            return false;
    }
    return true;
}

constexpr int kDescriptionRole = Qt::UserRole + 1;

// Draws a port entry of the open list as its name followed by what the port is; the closed list and the
// entry's own text stay the bare name, which is what the window's port becomes.
class PortEntryDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString description = index.data(kDescriptionRole).toString();
        if (!description.isEmpty())
            option->text += QStringLiteral("    ") + description;
    }
};

// Gives each port entry its description (drawn in the open list, and as the entry's tool tip), and the
// closed list the tool tip of the port selected.
void DescribePortList(CComboBox* list, const std::map<CString, CString>& descriptions) {
    auto* combo = list != nullptr ? qobject_cast<QComboBox*>(list->GetWidget()) : nullptr;
    if (combo == nullptr)
        return;
    for (int index = 0; index < combo->count(); ++index) {
        const auto found = descriptions.find(combo->itemText(index).toStdString());
        if (found == descriptions.end())
            continue;
        const QString description = QString::fromLocal8Bit(found->second.c_str());
        combo->setItemData(index, description, kDescriptionRole);
        combo->setItemData(index, description, Qt::ToolTipRole);
    }
    combo->setItemDelegate(new PortEntryDelegate(combo));
    QAbstractItemView* view = combo->view();
    view->setMinimumWidth(view->sizeHintForColumn(0) + 2 * view->frameWidth());
    auto showTip = [combo](int index) {
        combo->setToolTip(combo->itemData(index, Qt::ToolTipRole).toString());
    };
    QObject::connect(combo, qOverload<int>(&QComboBox::currentIndexChanged), combo, showTip);
    showTip(combo->currentIndex());
}

} // namespace

bool compareCStringStr::operator()(const CString& left, const CString& right) const {
    return std::strcmp(left.c_str(), right.c_str()) < 0;
}

bool compareCStringNum::operator()(const CString& left, const CString& right) const {
    return LeadingNumber(left) < LeadingNumber(right);
}

CCommSettingDlg::CCommSettingDlg(CWnd* pParent, TCommPort* pComPort, const CString& preferredPort,
                                 const PortTaken& portTaken)
    : CDialog(IDD_COMM_SETTING, kCommSettingTemplate, pParent), m_pComPort(pComPort) {
    InitAllComboBox();
    SetDataExchange(preferredPort, portTaken);
}

void CCommSettingDlg::InitAllComboBox() {
    CUIntArray ports;
    EnumerateSerialPorts(ports);
    for (INT_PTR index = ports.GetSize() - 1; index >= 0; --index) {
        char name[32];
        std::snprintf(name, sizeof name, "COM%u", static_cast<unsigned>(ports.GetAt(index)));
        m_ComPort[name] = 0;
    }
    for (const auto& [name, description] : DescribeSerialPorts()) {
        if (m_ComPort.count(name))
            m_PortDescription[name] = description;
    }

    for (DWORD rate : kListedRates)
        m_BaudRate[std::to_string(rate)] = rate;

    m_ByteSize["7 bit"] = 7;
    m_ByteSize["8 bit"] = 8;

    m_Parity[AfxLoadText(IDS_PARITY_NONE)] = 0;
    m_Parity[AfxLoadText(IDS_PARITY_ODD)] = 1;
    m_Parity[AfxLoadText(IDS_PARITY_EVEN)] = 2;

    m_StopBits[AfxLoadText(IDS_STOPBITS_ONE)] = 0;
    m_StopBits[AfxLoadText(IDS_STOPBITS_ONE5)] = 1;
    m_StopBits[AfxLoadText(IDS_STOPBITS_TWO)] = 2;
}

CString CCommSettingDlg::PresentPort(const CString& port) {
    for (const auto& entry : m_ComPort) {
        if (SameIgnoringCase(entry.first, port))
            return entry.first;
    }
    struct stat info {};
    if (IsRemotePortName(port) || (!port.empty() && port[0] == '/' && ::stat(port.c_str(), &info) == 0)) {
        m_ComPort[port] = 0;
        m_PortDescription[port] = DescribeSerialPort(port);
        return port;
    }
    return CString();
}

void CCommSettingDlg::SetDataExchange(const CString& preferredPort, const PortTaken& portTaken) {
    if (m_pComPort == nullptr)
        return;
    m_sComPort = m_pComPort->GetCommPort();
    // A new window's port is a placeholder that names no port: confirming it would leave the window on
    // nothing, so a port that is present is offered instead, one that no other window holds if possible.
    if (!NamesAPort(m_sComPort)) {
        auto free = [&portTaken](const CString& port) {
            return !port.empty() && !(portTaken && portTaken(port));
        };
        m_sComPort = PresentPort(preferredPort);
        if (!free(m_sComPort)) {
            const auto first = std::find_if(m_ComPort.begin(), m_ComPort.end(),
                                            [&free](const auto& entry) { return free(entry.first); });
            m_sComPort = first != m_ComPort.end() ? first->first
                         : m_ComPort.empty()      ? CString()
                                                  : m_ComPort.begin()->first;
        }
    }
    // The window's own port is always offered, also when it is a device path or a device that went away:
    // confirming without a change must leave the window where it is, not move it to the first name that
    // the current one begins, nor to no port at all.
    const bool listed = std::any_of(m_ComPort.begin(), m_ComPort.end(), [this](const auto& entry) {
        return SameIgnoringCase(entry.first, m_sComPort);
    });
    if (!m_sComPort.empty() && !listed) {
        m_ComPort[m_sComPort] = 0;
        m_PortDescription[m_sComPort] = DescribeSerialPort(m_sComPort);
    }
    // The rate box takes any rate, so the port's own is shown also when the list does not offer it, and
    // OK without a change keeps it.
    m_sComBaudRate = std::to_string(m_pComPort->GetBaudRate());
    m_sComDataSize = TextOfValue(m_ByteSize, m_pComPort->GetByteSize());
    m_sComParity = TextOfValue(m_Parity, m_pComPort->GetParity());
    m_sComStopBit = TextOfValue(m_StopBits, m_pComPort->GetStopBits());
}

BOOL CCommSettingDlg::OnInitDialog() {
    FillList(GetDlgItemAs<CComboBox>(IDC_COM_PORT), m_ComPort, m_sComPort);
    DescribePortList(GetDlgItemAs<CComboBox>(IDC_COM_PORT), m_PortDescription);
    FillList(GetDlgItemAs<CComboBox>(IDC_COM_BAUD_RATE), m_BaudRate, m_sComBaudRate);
    FillList(GetDlgItemAs<CComboBox>(IDC_COM_DATA_SIZE), m_ByteSize, m_sComDataSize);
    FillList(GetDlgItemAs<CComboBox>(IDC_COM_PARITY), m_Parity, m_sComParity);
    FillList(GetDlgItemAs<CComboBox>(IDC_COM_STOP_BIT), m_StopBits, m_sComStopBit);
    return CDialog::OnInitDialog();
}

void CCommSettingDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_CBString(pDX, IDC_COM_PORT, m_sComPort);
    DDX_CBString(pDX, IDC_COM_BAUD_RATE, m_sComBaudRate);
    DDV_TypedBaudRate(pDX, m_sComBaudRate);
    DDX_CBString(pDX, IDC_COM_DATA_SIZE, m_sComDataSize);
    DDX_CBString(pDX, IDC_COM_PARITY, m_sComParity);
    DDX_CBString(pDX, IDC_COM_STOP_BIT, m_sComStopBit);
}

std::string CCommSettingDlg::getComPort(const CString& text) const {
    auto found = m_ComPort.find(text);
    if (found != m_ComPort.end())
        return found->first;
    // A port on another machine is not listed until it is named: the user types it.
    const std::size_t first = text.find_first_not_of(" \t");
    const std::string typed = first == std::string::npos
                                  ? std::string()
                                  : text.substr(first, text.find_last_not_of(" \t") - first + 1);
    return IsRemotePortName(typed) ? typed : std::string();
}

DWORD CCommSettingDlg::getBaudRate(const CString& text) const {
    auto found = m_BaudRate.find(text);
    if (found != m_BaudRate.end())
        return found->second;
    DWORD typed = 0;
    return ParseTypedBaudRate(text, typed) ? typed : kNotFoundRate;
}

bool ParseTypedBaudRate(const CString& text, DWORD& rate) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == CString::npos)
        return false;
    const std::size_t last = text.find_last_not_of(" \t");
    std::uint64_t value = 0;
    for (std::size_t at = first; at <= last; ++at) {
        const char c = text[at];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > kHighestTypedBaudRate)
            return false;
    }
    if (value < kLowestTypedBaudRate)
        return false;
    rate = static_cast<DWORD>(value);
    return true;
}

void DDV_TypedBaudRate(CDataExchange* pDX, const CString& text) {
    DWORD rate = 0;
    if (!pDX->m_bSaveAndValidate || ParseTypedBaudRate(text, rate))
        return;
    char message[256];
    std::snprintf(message, sizeof message, AfxLoadText(IDS_TYPED_BAUD_RATE).c_str(),
                  static_cast<unsigned>(kLowestTypedBaudRate), static_cast<unsigned>(kHighestTypedBaudRate));
    AfxMessageBox(message, MB_ICONEXCLAMATION);
    pDX->Fail();
}

BYTE CCommSettingDlg::getByteSize(const CString& text) const {
    auto found = m_ByteSize.find(text);
    return found != m_ByteSize.end() ? static_cast<BYTE>(found->second) : kNotFoundValue;
}

BYTE CCommSettingDlg::getParity(const CString& text) const {
    auto found = m_Parity.find(text);
    return found != m_Parity.end() ? static_cast<BYTE>(found->second) : kNotFoundValue;
}

BYTE CCommSettingDlg::getStopBits(const CString& text) const {
    auto found = m_StopBits.find(text);
    return found != m_StopBits.end() ? static_cast<BYTE>(found->second) : kNotFoundValue;
}
