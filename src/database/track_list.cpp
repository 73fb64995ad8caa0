#include "database/track_list.h"

#include "database/clpi_stream.h"
#include "platform/text.h"

namespace tessel {

const char* const kLanguageCodes[kLanguageCount] = {
    "aar", "abk", "ace", "ach", "ada", "ady", "afa", "afh", "afr",     "ain", "aka", "akk", "alb",
    "ale", "alg", "alt", "amh", "ang", "apa", "ara", "arc", "arg",     "arm", "arn", "arp", "art",
    "arw", "asm", "ast", "ath", "aus", "ava", "ave", "awa", "aym",     "aze", "bad", "bai", "bak",
    "bal", "bam", "ban", "baq", "bas", "bat", "bej", "bel", "bem",     "ben", "ber", "bho", "bih",
    "bik", "bin", "bis", "bla", "bnt", "bos", "bra", "bre", "btk",     "bua", "bug", "bul", "bur",
    "byn", "cad", "cai", "car", "cat", "cau", "ceb", "cel", "cha",     "chb", "che", "chg", "chi",
    "chk", "chm", "chn", "cho", "chp", "chr", "chu", "chv", "chy",     "cmc", "cop", "cor", "cos",
    "cpe", "cpf", "cpp", "cre", "crh", "crp", "csb", "cus", "cze",     "dak", "dan", "dar", "day",
    "del", "den", "dgr", "din", "div", "doi", "dra", "dsb", "dua",     "dum", "dut", "dyu", "dzo",
    "efi", "egy", "eka", "elx", "eng", "enm", "epo", "est", "ewe",     "ewo", "fan", "fao", "fat",
    "fij", "fil", "fin", "fiu", "fon", "fre", "frm", "fro", "fry",     "ful", "fur", "gaa", "gay",
    "gba", "gem", "geo", "ger", "gez", "gil", "gla", "gle", "glg",     "glv", "gmh", "goh", "gon",
    "gor", "got", "grb", "grc", "gre", "grn", "guj", "gwi", "hai",     "hat", "hau", "haw", "heb",
    "her", "hil", "him", "hin", "hit", "hmn", "hmo", "hrv", "hsb",     "hun", "hup", "iba", "ibo",
    "ice", "ido", "iii", "ijo", "iku", "ile", "ilo", "ina", "inc",     "ind", "ine", "inh", "ipk",
    "ira", "iro", "ita", "jav", "jbo", "jpn", "jpr", "jrb", "kaa",     "kab", "kac", "kal", "kam",
    "kan", "kar", "kas", "kau", "kaw", "kaz", "kbd", "kha", "khi",     "khm", "kho", "kik", "kin",
    "kir", "kmb", "kok", "kom", "kon", "kor", "kos", "kpe", "krc",     "krl", "kro", "kru", "kua",
    "kum", "kur", "kut", "lad", "lah", "lam", "lao", "lat", "lav",     "lez", "lim", "lin", "lit",
    "lol", "loz", "ltz", "lua", "lub", "lug", "lui", "lun", "luo",     "lus", "mac", "mad", "mag",
    "mah", "mai", "mak", "mal", "man", "mao", "map", "mar", "mas",     "may", "mdf", "mdr", "men",
    "mga", "mic", "min", "mis", "mkh", "mlg", "mlt", "mnc", "mni",     "mno", "moh", "mon", "mos",
    "mul", "mun", "mus", "mwl", "mwr", "myn", "myv", "nah", "nai",     "nap", "nau", "nav", "nbl",
    "nde", "ndo", "nds", "nep", "new", "nia", "nic", "niu", "nno",     "nob", "nog", "non", "nor",
    "nso", "nub", "nwc", "nya", "nym", "nyn", "nyo", "nzi", "oci",     "oji", "ori", "orm", "osa",
    "oss", "ota", "oto", "paa", "pag", "pal", "pam", "pan", "pap",     "pau", "peo", "per", "phi",
    "phn", "pli", "pol", "pon", "por", "pra", "pro", "pus", "qaa-qtz", "que", "raj", "rap", "rar",
    "roa", "roh", "rom", "rum", "run", "rup", "rus", "sad", "sag",     "sah", "sai", "sal", "sam",
    "san", "sas", "sat", "scn", "sco", "sel", "sem", "sga", "sgn",     "shn", "sid", "sin", "sio",
    "sit", "sla", "slo", "slv", "sma", "sme", "smi", "smj", "smn",     "smo", "sms", "sna", "snd",
    "snk", "sog", "som", "son", "sot", "spa", "srd", "srn", "srp",     "srr", "ssa", "ssw", "suk",
    "sun", "sus", "sux", "swa", "swe", "syr", "tah", "tai", "tam",     "tat", "tel", "tem", "ter",
    "tet", "tgk", "tgl", "tha", "tib", "tig", "tir", "tiv", "tkl",     "tlh", "tli", "tmh", "tog",
    "ton", "tpi", "tsi", "tsn", "tso", "tuk", "tum", "tup", "tur",     "tut", "tvl", "twi", "tyv",
    "udm", "uga", "uig", "ukr", "umb", "und", "urd", "uzb", "vai",     "ven", "vie", "vol", "vot",
    "wak", "wal", "war", "was", "wel", "wen", "wln", "wol", "xal",     "xho", "yao", "yap", "yid",
    "yor", "ypk", "zap", "zha", "znd", "zul", "zun",
};

int FindLanguage(const std::string& code) {
    for (int i = 0; i < kLanguageCount; ++i)
        if (EqualsNoCase(code, kLanguageCodes[i])) return i;
    return -1;
}

int EnglishLanguageIndex() {
    static const int index = FindLanguage("eng");
    return index;
}

bool IsSecondaryPid(uint16_t pid) {
    return (pid >= 0x1A00 && pid <= 0x1A1F) || (pid >= 0x1B00 && pid <= 0x1B1F);
}

SRipTrack::SRipTrack() : language(EnglishLanguageIndex()) {}

void SRipTrack::Serialize(CArchive& ar) {
    uint8_t tag = 0;
    ar.Io(tag);
    int32_t pid32 = pid;
    ar.Io(pid32);
    ar.Io(selected);
    ar.Io(primary);
    ar.Io(position);
    int32_t lang = language;
    ar.Io(lang);
    ar.Io(clipNumber);
    ar.Io(codingInfo.codingInfo.length);
    ar.Io(codingInfo.codingInfo.codingType);
    for (auto& b : codingInfo.codingInfo.attributes) ar.Io(b);
    if (ar.IsLoading()) {
        if (tag != 0) ar.Fail("bad track record");
        if (pid32 < 0 || pid32 > 0x1FFF) ar.Fail("bad track PID");
        if (lang < -1 || lang >= kLanguageCount) ar.Fail("bad track language");
        if (ar.Failed()) return;
        pid = static_cast<uint16_t>(pid32);
        language = lang;
        codingInfo.pid = pid;
        DecodeStreamCodingInfo(codingInfo.codingInfo);
    }
}

std::string SRipTrack::Describe() const {
    const std::string source = clipNumber == -1 ? StrFormat("0x%04X", pid)
                                                : StrFormat("%05d.M2TS, 0x%04X", clipNumber, pid);
    const uint8_t type = codingInfo.codingInfo.codingType;
    const std::string coding = StrFormat("%s(0x%02X)", CodingTypeName(type), type);
    return StrFormat("%s, %s, %s", source.c_str(), coding.c_str(),
                     AttributeText(codingInfo.codingInfo).c_str());
}

std::string SRipTrack::GetLanguage() const {
    if (language < 0 || language >= kLanguageCount) return {};
    return kLanguageCodes[language];
}

bool SRipTrack::SetLanguage(const std::string& code) {
    int index = FindLanguage(code);
    if (index < 0) index = EnglishLanguageIndex();
    return SetLanguageIndex(index);
}

bool SRipTrack::SetLanguageIndex(int index) {
    if (index < 0 || index >= kLanguageCount || index == language) return false;
    language = index;
    return true;
}

bool SRipTracks::BuildTrackList(const std::vector<SClpiStream>& streams, int clipNumber) {
    for (size_t i = 0; i < streams.size(); ++i) {
        const SClpiStream& s = streams[i];
        bool seen = false;
        for (const auto& t : tracks) seen = seen || t->pid == s.pid;
        if (seen) continue;
        auto track = std::make_unique<SRipTrack>();
        track->clipNumber = clipNumber;
        track->position = static_cast<int32_t>(i);
        track->pid = s.pid;
        track->codingInfo = s;
        track->primary = IsSecondaryPid(s.pid) ? 0 : 1;
        if (CodingTypeHasLanguage(s.codingInfo.codingType))
            track->SetLanguage(s.codingInfo.language);
        tracks.push_back(std::move(track));
    }
    return true;
}

}  // namespace tessel
