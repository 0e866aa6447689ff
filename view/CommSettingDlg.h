#pragma once

#include "framework/gui/dialogs/Dialog.h"

#include <functional>
#include <map>
#include <string>

class TCommPort;

// Control ids of the serial port settings dialog.
constexpr int IDD_COMM_SETTING = 101;
constexpr int IDC_COM_PORT = 1001;
constexpr int IDC_COM_BAUD_RATE = 1002;
constexpr int IDC_COM_DATA_SIZE = 1003;
constexpr int IDC_COM_PARITY = 1004;
constexpr int IDC_COM_STOP_BIT = 1005;

// Orders texts byte by byte, case-sensitive, as strcmp does: COM10 comes before COM2.
struct compareCStringStr {
    bool operator()(const CString& left, const CString& right) const;
};

// Orders texts by the decimal number at their start (0 when there is none), so that "9600" and
// "9600 baud" are the same key and the rates list in ascending order.
struct compareCStringNum {
    bool operator()(const CString& left, const CString& right) const;
};

// Rates the baud rate box takes when typed: the platform sets any whole rate in this range, and a device
// that cannot run at one refuses it when it is applied. The lowest is the lowest rate the platform names;
// the highest is well above the fastest serial bridges (12 Mbaud) and PCI Express UARTs (25 Mbaud).
constexpr DWORD kLowestTypedBaudRate = 50;
constexpr DWORD kHighestTypedBaudRate = 25000000;

// Reads a typed rate: digits only (blanks around them allowed), within the range above.
bool ParseTypedBaudRate(const CString& text, DWORD& rate);

// Refuses, when saving, a rate box text that ParseTypedBaudRate does not take: a message that gives the
// range, and the focus back on the box.
void DDV_TypedBaudRate(CDataExchange* pDX, const CString& text);

// The dialog in which the user picks a window's port, baud rate, data bits, parity and stop bits, each
// from a drop-down list; a rate may also be typed. It reads the current values from the window's port object
// when it is built and never changes the port itself: after OK the caller turns the chosen texts back into
// values with the lookups and applies them.
class CCommSettingDlg : public CDialog {
public:
    // Whether another window holds a port.
    using PortTaken = std::function<bool(const CString& port)>;

    // A window whose port names no port yet (a new window) is offered preferredPort when it is present
    // and no other window holds it, else the first port listed that is free, else the first listed.
    CCommSettingDlg(CWnd* pParent, TCommPort* pComPort, const CString& preferredPort = CString(),
                    const PortTaken& portTaken = PortTaken());

    // The port name of the list entry found for a text, else a remote port name typed into the port box
    // ("rfc2217://lab-pi:3001", blanks around it left out), else an empty name.
    std::string getComPort(const CString& text) const;
    // The rate of the list entry found, else the typed rate (ParseTypedBaudRate), else all 32 bits set.
    DWORD getBaudRate(const CString& text) const;
    // The value of the entry found, or 255.
    BYTE getByteSize(const CString& text) const;
    BYTE getParity(const CString& text) const;
    BYTE getStopBits(const CString& text) const;

    CString m_sComPort;
    CString m_sComBaudRate;
    CString m_sComDataSize;
    CString m_sComParity;
    CString m_sComStopBit;

    std::map<CString, DWORD, compareCStringStr> m_ComPort;
    std::map<CString, DWORD, compareCStringNum> m_BaudRate;
    std::map<CString, DWORD, compareCStringNum> m_ByteSize;
    std::map<CString, DWORD, compareCStringStr> m_Parity;
    std::map<CString, DWORD, compareCStringStr> m_StopBits;

    TCommPort* m_pComPort;

    // What each listed port is ("COM3" -> "/dev/ttyUSB0: FTDI FT232R USB UART, serial A10K"), shown beside
    // its name in the open list.
    std::map<CString, CString> m_PortDescription;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

private:
    void InitAllComboBox();
    void SetDataExchange(const CString& preferredPort, const PortTaken& portTaken);
    // The name of the list's entry for a port (any letter case), offering a device path that exists;
    // empty when the port is not present.
    CString PresentPort(const CString& port);
};
