#include "oxengine/platform/compose.h"

#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>

struct oxKeyComposer::Tables {
    struct Free {
        void operator()(xkb_context* c) const { xkb_context_unref(c); }
        void operator()(xkb_compose_table* t) const { xkb_compose_table_unref(t); }
        void operator()(xkb_compose_state* s) const { xkb_compose_state_unref(s); }
    };
    std::unique_ptr<xkb_context, Free> context;
    std::unique_ptr<xkb_compose_table, Free> table;
    std::unique_ptr<xkb_compose_state, Free> state;
};

std::unique_ptr<oxKeyComposer> oxKeyComposer::create(const std::string& locale)
{
    auto tables = std::make_unique<Tables>();
    tables->context.reset(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!tables->context)
        return nullptr;
    // The library's complaints (an unknown locale, a line it cannot parse)
    // would only be noise on stderr: without a table keys type as they are.
    xkb_context_set_log_level(tables->context.get(), XKB_LOG_LEVEL_CRITICAL);
    tables->table.reset(
        xkb_compose_table_new_from_locale(tables->context.get(), locale.c_str(), XKB_COMPOSE_COMPILE_NO_FLAGS));
    if (!tables->table)
        return nullptr;
    tables->state.reset(xkb_compose_state_new(tables->table.get(), XKB_COMPOSE_STATE_NO_FLAGS));
    if (!tables->state)
        return nullptr;
    return std::unique_ptr<oxKeyComposer>(new oxKeyComposer(std::move(tables)));
}

oxKeyComposer::oxKeyComposer(std::unique_ptr<Tables> tables) : m_tables(std::move(tables)) {}

oxKeyComposer::~oxKeyComposer() = default;

oxKeyComposer::Step oxKeyComposer::feed(unsigned long keysym, std::string& text)
{
    xkb_compose_state* state = m_tables->state.get();
    if (keysym > 0xFFFFFFFFul || xkb_compose_state_feed(state, xkb_keysym_t(keysym)) == XKB_COMPOSE_FEED_IGNORED)
        return Step::Pass;
    switch (xkb_compose_state_get_status(state)) {
    case XKB_COMPOSE_COMPOSING:
        return Step::Swallow;
    case XKB_COMPOSE_COMPOSED: {
        char buffer[64];
        const int n = xkb_compose_state_get_utf8(state, buffer, sizeof buffer);
        text.assign(buffer, n > 0 && size_t(n) < sizeof buffer ? size_t(n) : 0);
        xkb_compose_state_reset(state);
        return text.empty() ? Step::Swallow : Step::Composed;
    }
    case XKB_COMPOSE_CANCELLED:
        xkb_compose_state_reset(state);
        return Step::Swallow;
    case XKB_COMPOSE_NOTHING:
    default:
        return Step::Pass;
    }
}

std::string oxInputLocale()
{
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"})
        if (const char* value = std::getenv(name); value && *value)
            return value;
    return "C";
}
