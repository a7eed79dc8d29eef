#pragma once
// Message tables: each class lists (message, notification code, control id)
// -> handler, and points at its base class's table. Toolkit events are
// translated into these messages; the first matching entry along the chain
// from the most derived class runs.
#include "windows_types.h"

class CCmdTarget;

using AFX_PMSG = void (*)(CCmdTarget* target, NMHDR* notify, LRESULT* result);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // WM_COMMAND, WM_NOTIFY, WM_PAINT, WM_QUERYDRAGICON; 0 ends the table
    UINT nCode;     // notification code (BN_CLICKED, NM_CLICK, ...)
    UINT nID;       // control id
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define afx_msg

#define DECLARE_MESSAGE_MAP()                     \
protected:                                        \
    static const AFX_MSGMAP* GetThisMessageMap(); \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                        \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
        using ThisClass [[maybe_unused]] = theClass;                                  \
        using TheBaseClass = baseClass;                                               \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                                         \
    { 0, 0, 0, nullptr }                                                                          \
    }                                                                                             \
    ;                                                                                             \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
    return &messageMap;                                                                           \
    }

// void memberFxn()
#define ON_COMMAND(id, memberFxn)           \
    {WM_COMMAND, 0u, static_cast<UINT>(id), \
     [](CCmdTarget* t, NMHDR*, LRESULT*) { (static_cast<ThisClass*>(t)->*(memberFxn))(); }},

// void memberFxn()
#define ON_BN_CLICKED(id, memberFxn)                \
    {WM_COMMAND, BN_CLICKED, static_cast<UINT>(id), \
     [](CCmdTarget* t, NMHDR*, LRESULT*) { (static_cast<ThisClass*>(t)->*(memberFxn))(); }},

// void memberFxn(NMHDR* notify, LRESULT* result)
#define ON_NOTIFY(wNotifyCode, id, memberFxn)                          \
    {WM_NOTIFY, static_cast<UINT>(wNotifyCode), static_cast<UINT>(id), \
     [](CCmdTarget* t, NMHDR* n, LRESULT* r) { (static_cast<ThisClass*>(t)->*(memberFxn))(n, r); }},

// void OnPaint()
#define ON_WM_PAINT() \
    {WM_PAINT, 0u, 0u, [](CCmdTarget* t, NMHDR*, LRESULT*) { static_cast<ThisClass*>(t)->OnPaint(); }},

// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON()                                                           \
    {WM_QUERYDRAGICON, 0u, 0u, [](CCmdTarget* t, NMHDR*, LRESULT* r) {                  \
         *r = reinterpret_cast<LRESULT>(static_cast<ThisClass*>(t)->OnQueryDragIcon()); \
     }},

// Root of every class with a message table.
class CCmdTarget {
public:
    CCmdTarget() = default;
    virtual ~CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // Runs the handler for (message, code, id) if any table along the chain
    // has one; `result` receives the handler's result. TRUE when handled.
    BOOL OnCmdMsg(UINT message, UINT code, UINT id, NMHDR* notify, LRESULT* result);
    // Whether any table along the chain has an entry for `message` (any code and id).
    BOOL HasMessageEntry(UINT message) const;

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};
