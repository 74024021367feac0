#include "cli/ExchangeCommands.h"

#include "app/Export.h"
#include "app/Import.h"
#include "app/ItemPath.h"
#include "cli/Session.h"
#include "platform/Format.h"
#include "platform/UiServices.h"

#include <ostream>
#include <unistd.h>

namespace cli {

namespace {

const char* const kNoItem = "No item at '%s'.";

// A running count on the terminal, redrawn in place.
class CConsoleProgress : public exchange::IProgress {
public:
    CConsoleProgress(const Streams& io, const char* verb)
        : m_err(io.err), m_verb(verb), m_bLive(io.errIsTerminal) {}
    void Begin(std::uint64_t total) override { m_nTotal = total; }
    bool Step(std::uint64_t done) override {
        if (m_bLive && (done % 256 == 0 || done == m_nTotal))
            m_err << '\r' << m_verb << ' ' << done << '/' << m_nTotal << std::flush;
        return true;
    }
    void End() override {
        if (m_bLive)
            m_err << '\r' << std::string(40, ' ') << '\r' << std::flush;
    }

private:
    std::ostream& m_err;
    const char* m_verb;
    bool m_bLive;
    std::uint64_t m_nTotal = 0;
};

bool EndsWithMd(const std::string& path) {
    if (path.size() < 3)
        return false;
    std::string ext = path.substr(path.size() - 3);
    return ext == ".md" || ext == ".MD" || ext == ".Md" || ext == ".mD";
}

// Prints the summary; returns the exit status.
int Summarize(CCliSession& s, const exchange::Report& r, const char* done, const std::string& where,
              Streams& io) {
    if (r.bStopped)
        s.m_ui.MessageBox("Stopped; nothing was written.", MB_OK | MB_ICONEXCLAMATION);
    else if (!r.strError.empty())
        s.m_ui.MessageBox(r.strError, MB_OK | MB_ICONEXCLAMATION);
    if (!r.Ok())
        return 1;
    io.out << done << ' ' << r.nFolders << (r.nFolders == 1 ? " folder" : " folders") << " and "
           << r.nTextlets << (r.nTextlets == 1 ? " text" : " texts") << " (" << r.nBytes
           << " bytes) " << where << ".\n";
    if (!r.skipped.empty())
        io.out << "Skipped " << r.skipped.size() << ":\n";
    for (const auto& k : r.skipped)
        io.out << "  " << k.path << ": " << k.reason << '\n';
    return 0;
}

} // namespace

int Export(const Call& call, Streams& io) {
    const Args& args = call.args;
    CCliSession s(io.err);
    if (!s.Open(args[0], CNotariumDoc::OpenMode::ReadOnly))
        return 1;
    HTREEITEM h = nullptr;
    if (args.size() == 3 && !(h = itempath::Find(s.m_tree, args[1]))) {
        s.m_ui.MessageBox(Format(kNoItem, args[1]), MB_OK | MB_ICONEXCLAMATION);
        return 1;
    }
    const std::string& target = args.back();
    CConsoleProgress progress(io, "Exporting...");
    exchange::Report r = EndsWithMd(target)
                             ? exchange::ExportToMarkdown(s.m_doc, h, target, &progress)
                             : exchange::ExportToDirectory(s.m_doc, h, target, &progress);
    s.m_doc.DeleteContents(); // an export changes nothing in the file
    int status = Summarize(s, r, "Exported", "to " + target, io);
    return s.Ok() ? status : 1;
}

int Import(const Call& call, Streams& io) {
    const Args& args = call.args;
    CCliSession s(io.err);
    if (!s.Open(args[0]))
        return 1;
    // With more than one word after FILE, the first is PATH when it names an item.
    HTREEITEM target = nullptr;
    std::size_t first = 1;
    if (args.size() >= 3) {
        target = itempath::Find(s.m_tree, args[1]);
        if (target) {
            first = 2;
        } else if (::access(args[1].c_str(), F_OK) != 0) {
            s.m_ui.MessageBox(Format(kNoItem, args[1]), MB_OK | MB_ICONEXCLAMATION);
            return 1;
        }
    }
    std::vector<std::string> sources(args.begin() + static_cast<std::ptrdiff_t>(first), args.end());
    CConsoleProgress progress(io, "Importing...");
    exchange::Report r = exchange::Import(s.m_doc, target, sources, {}, &progress);
    std::string where = "into " + (target ? itempath::Of(s.m_tree, target)
                                          : itempath::Of(s.m_tree, s.m_tree.GetRootItem()));
    bool closed = s.Close();
    int status = Summarize(s, r, "Imported", where, io);
    return closed ? status : 1;
}

} // namespace cli
