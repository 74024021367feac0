#include "cli/Session.h"

CCliSession::CCliSession(std::ostream& err) : m_ui(err), m_doc(m_ui, m_settings) {}

CCliSession::~CCliSession() {
    m_doc.DeleteContents();
}

bool CCliSession::Open(const std::string& path, CNotariumDoc::OpenMode mode) {
    if (!CNotariumDoc::PrepareDataFile(path, false, m_ui, mode))
        return false;
    if (!m_doc.OnOpenDocument(path, mode))
        return false;
    return m_doc.ReloadTree();
}

bool CCliSession::Close() {
    bool ok = m_doc.SaveModified();
    m_doc.DeleteContents();
    return ok && Ok();
}
