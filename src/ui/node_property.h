// The property groups of the properties pane: one object per selected node,
// chosen by the node's class, filling a list of grouped rows. Free of the
// toolkit; CPropertiesWnd shows the rows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/named_object.h"

namespace tessel {
class CNamedObject;
class CTlDisc;
class CTlM2tsObject;
class CIgObject;
class CPage;
class CBog;
class CBdButton;
class CPgStreamObject;
class CPgEventObject;
class CEpoch;
class CDisplaySet;
}  // namespace tessel

// One row: a label and its read-only value, text or check box, under a group.
struct SPropertyRow {
    std::string group;
    std::string label;
    std::string value;  // empty for a check box
    bool isCheck = false;
    bool checked = false;
};

// Rows in display order; groups appear in the order of their first row.
class CPropertyList {
public:
    void Clear() { rows_.clear(); }
    void Add(const std::string& group, const std::string& label, const std::string& value);
    void AddNumber(const std::string& group, const std::string& label, long long value);
    void AddCheck(const std::string& group, const std::string& label, bool checked);

    const std::vector<SPropertyRow>& Rows() const { return rows_; }
    std::vector<std::string> Groups() const;

private:
    std::vector<SPropertyRow> rows_;
};

// A file the scan of the disc left out (a clip, or a playlist), as the tree
// shows it flagged: its name is the node's label.
class CFaultNode : public tessel::CNamedObject {
public:
    std::string path;
    std::string reason;
};

// Empties the list, then group "Basic" with the node's "Name".
class CNodeProperty {
public:
    static constexpr const char* kBasic = "Basic";
    static constexpr const char* kFaults = "Faults";

    explicit CNodeProperty(const tessel::CNamedObject& node) : node_(node) {}
    virtual ~CNodeProperty() = default;

    virtual void Fill(CPropertyList& list) const;

    // The group object for a node's class (disc, clip, IG object, page, BOG,
    // button, PG stream, PG event, epoch, display set, fault, tested in that
    // order); null for any other class or no node.
    static std::unique_ptr<CNodeProperty> Create(const tessel::CNamedObject* node);

protected:
    const tessel::CNamedObject& node_;
};

class CDiscProperty : public CNodeProperty {
public:
    explicit CDiscProperty(const tessel::CTlDisc& disc);
    void Fill(CPropertyList& list) const override;

private:
    const tessel::CTlDisc& disc_;
};

class CM2tsProperty : public CNodeProperty {
public:
    explicit CM2tsProperty(const tessel::CTlM2tsObject& clip);
    void Fill(CPropertyList& list) const override;

private:
    const tessel::CTlM2tsObject& clip_;
};

class CIgProperty : public CNodeProperty {
public:
    explicit CIgProperty(const tessel::CIgObject& ig);
    void Fill(CPropertyList& list) const override;
    // The stream's rows: "PID", "Epoch(s)" under basic; with one epoch of
    // one display set "Video Mode", "Page(s)", "Graphic(s)", "Palette(s)"
    // and "User Interface" under advanced. A clip with one stream shows them
    // on its own node.
    static void AddRows(CPropertyList& list, const tessel::CIgObject& ig, const std::string& basic,
                        const std::string& advanced);

private:
    const tessel::CIgObject& ig_;
};

class CPageProperty : public CNodeProperty {
public:
    explicit CPageProperty(const tessel::CPage& page);
    void Fill(CPropertyList& list) const override;

private:
    const tessel::CPage& page_;
};

class CBogProperty : public CNodeProperty {
public:
    explicit CBogProperty(const tessel::CBog& bog);
    void Fill(CPropertyList& list) const override;

private:
    const tessel::CBog& bog_;
};

class CButtonProperty : public CNodeProperty {
public:
    explicit CButtonProperty(const tessel::CBdButton& button);
    void Fill(CPropertyList& list) const override;

private:
    const tessel::CBdButton& button_;
};

class CEpochProperty : public CNodeProperty {
public:
    explicit CEpochProperty(const tessel::CEpoch& epoch);
    void Fill(CPropertyList& list) const override;

private:
    const tessel::CEpoch& epoch_;
};

class CDisplaySetProperty : public CNodeProperty {
public:
    explicit CDisplaySetProperty(const tessel::CDisplaySet& ds);
    void Fill(CPropertyList& list) const override;

private:
    const tessel::CDisplaySet& ds_;
};

class CPgStreamProperty : public CNodeProperty {
public:
    explicit CPgStreamProperty(const tessel::CPgStreamObject& stream);
    void Fill(CPropertyList& list) const override;

private:
    const tessel::CPgStreamObject& stream_;
};

class CPgEventProperty : public CNodeProperty {
public:
    explicit CPgEventProperty(const tessel::CPgEventObject& event);
    void Fill(CPropertyList& list) const override;

private:
    const tessel::CPgEventObject& event_;
};

// A left-out file: its path and why it was left out ("File", "Reason").
class CFaultProperty : public CNodeProperty {
public:
    explicit CFaultProperty(const CFaultNode& fault);
    void Fill(CPropertyList& list) const override;

private:
    const CFaultNode& fault_;
};
