#include "framework/gui/dialogs/FileDialog.h"

#include "framework/core/MessageBox.h"
#include "framework/gui/windows/TestHook.h"
#include "framework/gui/windows/Wnd.h"

#include <QFileDialog>
#include <QStringList>

#include <vector>

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const char* lpszDefExt, const char* lpszFileName,
                         DWORD dwFlags, const char* lpszFilter, CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog), m_strDefExt(lpszDefExt != nullptr ? lpszDefExt : ""),
      m_strFileName(lpszFileName != nullptr ? lpszFileName : ""),
      m_strFilter(lpszFilter != nullptr ? lpszFilter : ""), m_dwFlags(dwFlags), m_pParentWnd(pParentWnd) {}

CString CFileDialog::QtFilterFromFilter(const CString& filter) {
    std::vector<CString> parts;
    std::size_t start = 0;
    while (start < filter.size()) {
        const std::size_t bar = filter.find('|', start);
        const CString part = filter.substr(start, bar == CString::npos ? CString::npos : bar - start);
        if (part.empty())
            break;
        parts.push_back(part);
        if (bar == CString::npos)
            break;
        start = bar + 1;
    }
    CString result;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        CString name = parts[i];
        CString patterns = parts[i + 1];
        for (char& ch : patterns) {
            if (ch == ';')
                ch = ' ';
        }
        // Qt reads the patterns from the parentheses at the end of the name.
        const CString wanted = "(" + patterns + ")";
        if (name.size() < wanted.size() ||
            name.compare(name.size() - wanted.size(), wanted.size(), wanted) != 0) {
            const std::size_t open = name.rfind(" (");
            if (open != CString::npos && name.back() == ')')
                name.erase(open);
            name += " " + wanted;
        }
        if (!result.empty())
            result += ";;";
        result += name;
    }
    return result;
}

CString CFileDialog::WithDefaultExtension(const CString& path, const CString& defExt) {
    if (defExt.empty() || path.empty())
        return path;
    const std::size_t slash = path.find_last_of('/');
    const CString name = slash == CString::npos ? path : path.substr(slash + 1);
    if (name.find('.') != CString::npos)
        return path;
    return path + (defExt.front() == '.' ? defExt : "." + defExt);
}

int CFileDialog::DoModal() {
    if (GuiTestHook* hook = AfxGetGuiTestHook(); hook != nullptr && hook->fileDialog) {
        CString path = m_strFileName;
        if (!hook->fileDialog(m_bOpenFileDialog, path) || path.empty())
            return IDCANCEL;
        m_strPathName = m_bOpenFileDialog ? path : WithDefaultExtension(path, m_strDefExt);
        return IDOK;
    }
    QFileDialog dialog(m_pParentWnd != nullptr ? m_pParentWnd->GetWidget() : nullptr);
    dialog.setAcceptMode(m_bOpenFileDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(m_bOpenFileDialog ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if ((m_dwFlags & OFN_OVERWRITEPROMPT) == 0)
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    const CString filter = QtFilterFromFilter(m_strFilter);
    if (!filter.empty())
        dialog.setNameFilters(QString::fromLocal8Bit(filter.c_str()).split(QStringLiteral(";;")));
    if (!m_strDefExt.empty())
        dialog.setDefaultSuffix(QString::fromLocal8Bit(m_strDefExt.front() == '.' ? m_strDefExt.c_str() + 1
                                                                                  : m_strDefExt.c_str()));
    if (!m_strFileName.empty())
        dialog.selectFile(QString::fromLocal8Bit(m_strFileName.c_str()));
    if (AfxRunModalDialog(dialog) != IDOK || dialog.selectedFiles().isEmpty())
        return IDCANCEL;
    m_strPathName = dialog.selectedFiles().front().toLocal8Bit().toStdString();
    return IDOK;
}
