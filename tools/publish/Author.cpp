#include "Author.h"

#include <cwctype>
#include <set>

#include "DocumentText.h"
#include "base/TextCodec.h"
#include "config/ConfigKeys.h"
#include "config/PackageFileName.h"
#include "config/ProfileDocument.h"

using namespace config_keys;

namespace publish {
namespace {

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return text;
}

bool IsPlainHttp(const std::wstring& url) {
    return url.size() > 7 && Lower(url.substr(0, 7)) == L"http://" && url[7] != L'/';
}

std::wstring NameOf(const std::wstring& path) {
    const size_t cut = path.find_last_of(L"/\\");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

std::wstring JoinWith(const std::vector<std::wstring>& items, const wchar_t* separator) {
    std::wstring out;
    for (size_t i = 0; i < items.size(); ++i) out += (i ? separator : L"") + items[i];
    return out;
}

class CAuthor {
public:
    CAuthor(const AuthorRequest& request, AuthorResult& result)
        : request_(request), result_(result), intended_(request.values) {}

    void Run() {
        CheckBase();
        BuildParts();
        CheckSeeds();
        CheckValues();
        if (!result_.refusals.empty()) return;
        Encode(DocumentTextOf(Sections()));
        if (result_.refusals.empty()) ReadBack();
        if (!result_.refusals.empty()) result_.document.clear();
    }

private:
    void Refuse(const std::wstring& why) { result_.refusals.push_back(why); }
    void Warn(const std::wstring& why) { result_.warnings.push_back(why); }

    void CheckBase() {
        const std::wstring& base = request_.baseUrl;
        if (!IsPlainHttp(base)) {
            Refuse(
                L"the download base address must be a plain http:// address: the program's "
                L"engine fetches nothing else");
        }
        for (wchar_t c : base) {
            if (c <= 0x20 || c == 0x7F || c == L',' || c == L'?' || c == L'#') {
                Refuse(
                    L"the download base address holds a blank, a control character, \",\", "
                    L"\"?\" or \"#\": the links built on it would be split or cut");
                break;
            }
        }
    }

    void BuildParts() {
        if (request_.files.empty()) Refuse(L"a package needs at least one file");
        std::set<std::wstring> names;
        std::vector<std::wstring> sizes, links, md5s;
        for (const PackageInput& file : request_.files) {
            const std::wstring name = NameOf(file.path);
            const std::wstring problem = PackageFileNameProblem(name);
            if (!problem.empty()) Refuse(L"file name \"" + name + L"\": " + problem);
            if (!names.insert(Lower(name)).second)
                Refuse(L"two files are named \"" + name + L"\": they would land on one path");
            if (file.size == 0)
                Refuse(L"file \"" + name + L"\" is empty: the program never accepts an empty file");
            PackageFile part;
            part.size = file.size;
            part.link = LinkUnder(request_.baseUrl, name);
            part.md5 = file.md5;
            intended_.parts.push_back(part);
        }
        if (request_.files.size() >= 2 && intended_.gameStart.empty())
            Refuse(L"a package of several files needs GameStart (the file to start at the end)");
        if (request_.files.size() >= 2 && !intended_.gameStart.empty() &&
            names.count(Lower(intended_.gameStart)) == 0) {
            Warn(L"GameStart \"" + intended_.gameStart + L"\" is not one of the package's files");
        }
        if (request_.files.size() < 2) intended_.gameStart.clear();  // not read for one file
    }

    void CheckSeeds() {
        for (const std::wstring& seed : request_.seedBases) {
            if (!IsPlainHttp(seed))
                Refuse(L"seed \"" + seed + L"\" is not a plain http:// address");
            for (wchar_t c : seed) {
                if (c <= 0x20 || c == 0x7F || c == L'|' || c == L';') {
                    Refuse(L"seed \"" + seed +
                           L"\" holds a blank, \"|\" or \";\", which separate "
                           L"seeds");
                    break;
                }
            }
        }
        intended_.seedUrl = JoinWith(request_.seedBases, L"|");
    }

    void CheckValues() {
        for (const auto& [key, value] : NamedValues()) {
            for (wchar_t c : value) {
                if (c == L'\r' || c == L'\n') {
                    Refuse(std::wstring(key) + L": a value cannot hold a line break");
                    break;
                }
                if (c < 0x20 && c != L'\t') {
                    Refuse(std::wstring(key) + L": a value cannot hold a control character");
                    break;
                }
            }
        }
        if (intended_.gameName.empty()) Refuse(L"GameName is required");
        if (intended_.newVersion.empty())
            Refuse(L"NewVersion is required (the newest downloader's version text)");
        for (const wchar_t* key : {kSkinLink, kQuilletDownloaderLink}) {
            const std::wstring& link =
                key == kSkinLink ? intended_.skinLink : intended_.quilletDownloaderLink;
            if (!link.empty() && !IsPlainHttp(link))
                Refuse(std::wstring(key) +
                       L" must be a plain http:// address: the program "
                       L"fetches nothing else");
        }
        if (!intended_.safeCheck.empty() && intended_.safeCheck != L"0" &&
            intended_.safeCheck != L"1") {
            Warn(L"safecheck \"" + intended_.safeCheck +
                 L"\" means no MD5 test; only \"1\" asks "
                 L"for it");
        }
        for (const PackageFile& part : intended_.parts) {
            if (part.md5.find(L',') != std::wstring::npos)
                Refuse(L"an MD5 text holds a comma, which separates the list");
        }
    }

    std::vector<std::pair<const wchar_t*, std::wstring>> NamedValues() const {
        const ConfigValues& v = intended_;
        return {{kGameName, v.gameName},
                {kGameVersion, v.gameVersion},
                {kGameStart, v.gameStart},
                {kSeedUrl, v.seedUrl},
                {kNewVersion, v.newVersion},
                {kNewVersionDownloaderLink, v.newVersionDownloaderLink},
                {kSkinLink, v.skinLink},
                {kEmbedLink2, v.embedLink2},
                {kQuilletInstallTip, v.quilletInstallTip},
                {kTextPromotionTitle, v.textPromotionTitle},
                {kTextPromotionLink, v.textPromotionLink},
                {kQuilletDownloaderLink, v.quilletDownloaderLink},
                {kSafeCheck, v.safeCheck},
                {kCancelDownloadTips, v.cancelDownloadTips}};
    }

    std::vector<DocumentSection> Sections() const {
        const ConfigValues& v = intended_;
        std::vector<std::wstring> sizes, links, md5s;
        for (const PackageFile& part : v.parts) {
            sizes.push_back(std::to_wstring(part.size));
            links.push_back(part.link);
            md5s.push_back(part.md5);
        }
        std::vector<DocumentSection> sections = {
            {kGameConfig,
             {{kGameName, v.gameName},
              {kGameVersion, v.gameVersion},
              {kGameSize, JoinWith(sizes, L",")},
              {kGameDownloadLink, JoinWith(links, L",")},
              {kGameMd5, JoinWith(md5s, L",")},
              {kGameStart, v.gameStart},
              {kSeedUrl, v.seedUrl}}},
            {kDownLoader,
             {{kNewVersion, v.newVersion},
              {kNewVersionDownloaderLink, v.newVersionDownloaderLink},
              {kSkinLink, v.skinLink},
              {kEmbedLink2, v.embedLink2},
              {kQuilletInstallTip, v.quilletInstallTip},
              {kTextPromotionTitle, v.textPromotionTitle},
              {kTextPromotionLink, v.textPromotionLink}}},
            {kQuillet,
             {{kQuilletDownloaderLink, v.quilletDownloaderLink},
              {kSafeCheck, v.safeCheck},
              {kCancelDownloadTips, v.cancelDownloadTips}}},
        };
        for (const auto& key : request_.releaseKeys) sections.front().keys.push_back(key);
        return sections;
    }

    void Encode(const std::wstring& text) {
        if (request_.encoding == DocumentEncoding::kUtf16) {
            result_.document = "\xFF\xFE" + Utf16LeFromWide(text);
            return;
        }
        for (wchar_t c : text) {
            if (static_cast<uint32_t>(c) >= 0x80) {
                Refuse(
                    L"a text beyond ASCII needs UTF-16: without a byte-order mark the "
                    L"program reads the document in each user's code page");
                return;
            }
        }
        result_.document = Utf8FromWide(text);
    }

    // The document is read back the way the program reads it; any difference from what was
    // meant is a refusal, so no reading rule can slip through unnoticed.
    void ReadBack() {
        CProfileDocument reader(DecodeProfileBytes(result_.document).text);
        std::wstring missing;
        if (!ParseConfigDocument(reader, intended_.newVersionDownloaderLink, result_.read,
                                 &missing)) {
            Refuse(L"the program would find no " + missing);
            return;
        }
        const ConfigValues& read = result_.read;
        std::vector<std::pair<const wchar_t*, std::wstring>> meant = NamedValues();
        ConfigValues copy = intended_;
        intended_ = read;
        std::vector<std::pair<const wchar_t*, std::wstring>> got = NamedValues();
        intended_ = copy;
        for (size_t i = 0; i < meant.size(); ++i) {
            if (meant[i].second != got[i].second)
                Refuse(std::wstring(meant[i].first) + L" would read as \"" + got[i].second + L"\"");
        }
        if (read.parts.size() != intended_.parts.size()) {
            Refuse(L"the program would read " + std::to_wstring(read.parts.size()) +
                   L" files instead of " + std::to_wstring(intended_.parts.size()));
            return;
        }
        for (size_t i = 0; i < read.parts.size(); ++i) {
            const PackageFile& a = read.parts[i];
            const PackageFile& b = intended_.parts[i];
            if (a.size != b.size || a.link != b.link || a.md5 != b.md5)
                Refuse(L"file " + std::to_wstring(i + 1) + L" would read differently");
        }
    }

    const AuthorRequest& request_;
    AuthorResult& result_;
    ConfigValues intended_;
};

}  // namespace

std::wstring LinkUnder(const std::wstring& baseUrl, const std::wstring& fileName) {
    std::wstring base = baseUrl;
    while (!base.empty() && base.back() == L'/') base.pop_back();
    return base + L"/" + fileName;
}

AuthorResult AuthorDocument(const AuthorRequest& request) {
    AuthorResult result;
    CAuthor(request, result).Run();
    return result;
}

}  // namespace publish
