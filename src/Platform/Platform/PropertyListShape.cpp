#include "Platform/PropertyListShape.h"

#include <algorithm>
#include <vector>

namespace platform {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The format library accepts an XML list whose closing tag is missing or followed by other
// text. A document with a plist element must end with its closing tag; one without must at
// least end with a closed element.
bool xmlEndsWhole(std::string_view text) {
    while (!text.empty() && (isSpace(text.back()) || text.back() == '\0')) {
        text.remove_suffix(1);
    }
    if (text.find("<plist") != std::string_view::npos) {
        return text.ends_with("</plist>");
    }
    return text.ends_with(">");
}

// The '>' closing the start tag that begins at `at`; quoted attribute values may hold one.
std::size_t endOfStartTag(std::string_view text, std::size_t at) {
    char quote = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (quote != 0) {
            quote = c == quote ? 0 : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return at;
        }
    }
    return std::string_view::npos;
}

bool namesPlistElement(std::string_view tag) {
    return tag.starts_with("<plist") && (tag.size() == 6 || isSpace(tag[6]) || tag[6] == '>' || tag[6] == '/');
}

std::uint64_t readBigEndian(const std::uint8_t* bytes, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

// What a walk of the objects needs to know of one object.
struct BinaryObject {
    std::uint64_t firstReference = 0;  // byte offset of a container's references
    std::uint64_t references = 0;      // a container's references (a dictionary's keys and values)
    std::uint64_t payload = 0;         // a string's or data's bytes
};

// The object table of a binary list ("bplist00", objects, offset table, 32-byte trailer).
class BinaryObjects {
public:
    static constexpr std::size_t kHeaderSize = 8;
    static constexpr std::size_t kTrailerSize = 32;

    explicit BinaryObjects(std::string_view data)
        : bytes_(reinterpret_cast<const std::uint8_t*>(data.data())), seenStrings_(data.size(), false) {
        if (data.size() < kHeaderSize + kTrailerSize) {
            return;
        }
        end_ = data.size() - kTrailerSize;
        const std::uint8_t* trailer = bytes_ + end_;
        offsetSize_ = trailer[6];
        referenceSize_ = trailer[7];
        count_ = readBigEndian(trailer + 8, 8);
        root_ = readBigEndian(trailer + 16, 8);
        table_ = readBigEndian(trailer + 24, 8);
    }

    bool wellFormed() const {
        return offsetSize_ >= 1 && offsetSize_ <= 8 && referenceSize_ >= 1 && referenceSize_ <= 8 && count_ > 0 &&
               root_ < count_ && table_ >= kHeaderSize && table_ <= end_ && count_ <= (end_ - table_) / offsetSize_;
    }
    std::uint64_t count() const { return count_; }
    std::uint64_t root() const { return root_; }

    // The index of a container's reference; count() when it is out of range.
    std::uint64_t reference(const BinaryObject& container, std::uint64_t position) const {
        const std::uint64_t index =
            readBigEndian(bytes_ + container.firstReference + position * referenceSize_, referenceSize_);
        return std::min(index, count_);
    }

    // False when the object lies out of bounds or is a string holding a NUL.
    bool read(std::uint64_t index, BinaryObject& object) {
        const std::uint64_t offset = readBigEndian(bytes_ + table_ + index * offsetSize_, offsetSize_);
        if (offset < kHeaderSize || offset >= table_) {
            return false;
        }
        const unsigned kind = bytes_[offset] >> 4;
        const bool container = kind >= 0xA && kind <= 0xD;  // array, ordered set, set, dictionary
        if (!container && kind != 4 && kind != 5 && kind != 6) {
            return true;
        }
        std::uint64_t length = bytes_[offset] & 0x0F;
        std::uint64_t start = offset + 1;
        if (length == 0x0F) {  // the length follows as an integer object
            if (start >= table_ || (bytes_[start] >> 4) != 1 || (bytes_[start] & 0x0F) > 3) {
                return false;
            }
            const std::size_t lengthSize = std::size_t{1} << (bytes_[start] & 0x0F);
            if (start + 1 + lengthSize > table_) {
                return false;
            }
            length = readBigEndian(bytes_ + start + 1, lengthSize);
            start += 1 + lengthSize;
        }
        const std::uint64_t unit = container ? referenceSize_ * (kind == 0xD ? 2 : 1) : (kind == 6 ? 2 : 1);
        if (length > (table_ - start) / unit) {
            return false;
        }
        if (container) {
            object.firstReference = start;
            object.references = length * (kind == 0xD ? 2 : 1);
            return true;
        }
        object.payload = length * unit;
        return kind == 4 || !stringHoldsNul(start, length, unit);
    }

private:
    // Each string's bytes are looked at once, however many objects share them.
    bool stringHoldsNul(std::uint64_t start, std::uint64_t length, std::uint64_t unit) {
        if (seenStrings_[start]) {
            return false;
        }
        seenStrings_[start] = true;
        for (std::uint64_t k = 0; k < length; ++k) {
            if (readBigEndian(bytes_ + start + k * unit, unit) == 0) {
                return true;
            }
        }
        return false;
    }

    const std::uint8_t* bytes_;
    std::vector<bool> seenStrings_;
    std::uint64_t end_ = 0;
    std::size_t offsetSize_ = 0;
    std::size_t referenceSize_ = 0;
    std::uint64_t count_ = 0;
    std::uint64_t root_ = 0;
    std::uint64_t table_ = 0;
};

// The estimate of a parsed value's memory besides its string's or data's bytes.
constexpr std::uint64_t kValueWeight = 64;

}  // namespace

PropertyListShape::Verdict PropertyListShape::ofXML(std::string_view text) {
    if (!xmlEndsWhole(text)) {
        return Verdict::Malformed;
    }
    std::size_t open = 0;
    bool wrapped = false;  // the outermost element is <plist>, which holds a value but is none
    std::size_t at = 0;
    while ((at = text.find('<', at)) != std::string_view::npos) {
        const std::string_view tag = text.substr(at);
        std::string_view terminator = ">";
        std::size_t end = std::string_view::npos;
        if (tag.starts_with("<!--")) {
            terminator = "-->";
            end = text.find(terminator, at + 4);
        } else if (tag.starts_with("<![CDATA[")) {
            terminator = "]]>";
            end = text.find(terminator, at + 9);
        } else if (tag.starts_with("<?")) {
            terminator = "?>";
            end = text.find(terminator, at + 2);
        } else if (tag.starts_with("<!") || tag.starts_with("</")) {
            end = text.find(terminator, at + 2);
            open -= tag[1] == '/' && open > 0 ? 1 : 0;
        } else {
            end = endOfStartTag(text, at + 1);
            if (open + 1 - (wrapped ? 1 : 0) > kMaximumDepth) {
                return Verdict::TooDeep;
            }
            wrapped = wrapped || (open == 0 && namesPlistElement(tag));
            open += end != std::string_view::npos && text[end - 1] != '/' ? 1 : 0;
        }
        if (end == std::string_view::npos) {
            return Verdict::Malformed;
        }
        at = end + terminator.size();
    }
    return Verdict::Readable;
}

PropertyListShape::Verdict PropertyListShape::ofBinary(std::string_view bytes) {
    BinaryObjects objects(bytes);
    if (!objects.wellFormed()) {
        return Verdict::Malformed;
    }
    // A depth-first walk that visits each object once: an object already walked contributes
    // its height and weight, an object still open on the path is a cycle.
    enum class State : std::uint8_t { Unseen, Open, Walked };
    struct Walked {
        State state = State::Unseen;
        std::uint32_t height = 0;
        std::uint64_t weight = 0;
    };
    struct Frame {
        std::uint64_t index;
        BinaryObject object;
        std::uint64_t next = 0;
        std::uint32_t height = 1;
        std::uint64_t weight = kValueWeight;
    };
    const std::uint64_t maximumWeight = std::max(kMaximumExpandedSize, (kValueWeight + 1) * bytes.size());
    std::vector<Walked> walked(objects.count());
    std::vector<Frame> path;
    const auto enter = [&](std::uint64_t index) {
        Frame frame{index, {}};
        if (!objects.read(index, frame.object)) {
            return false;
        }
        frame.weight += frame.object.payload;
        walked[index].state = State::Open;
        path.push_back(frame);
        return true;
    };
    const auto add = [&](Frame& parent, const Walked& child) {
        parent.height = std::max(parent.height, child.height + 1);
        parent.weight = std::min(parent.weight + child.weight, maximumWeight + 1);
    };
    if (!enter(objects.root())) {
        return Verdict::Malformed;
    }
    Walked root;
    while (!path.empty()) {
        Frame& frame = path.back();
        if (frame.next == frame.object.references) {
            const Walked done{State::Walked, frame.height, frame.weight};
            walked[frame.index] = done;
            path.pop_back();
            if (path.empty()) {
                root = done;
            } else {
                add(path.back(), done);
            }
            continue;
        }
        const std::uint64_t child = objects.reference(frame.object, frame.next++);
        if (child == objects.count() || walked[child].state == State::Open) {
            return Verdict::Malformed;
        }
        if (walked[child].state == State::Walked) {
            if (path.size() + walked[child].height > kMaximumDepth) {
                return Verdict::TooDeep;
            }
            add(frame, walked[child]);
        } else if (path.size() == kMaximumDepth) {
            return Verdict::TooDeep;
        } else if (!enter(child)) {
            return Verdict::Malformed;
        }
    }
    return root.weight > maximumWeight ? Verdict::TooExpanded : Verdict::Readable;
}

}  // namespace platform
