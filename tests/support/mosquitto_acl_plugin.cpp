// A broker plugin for the tests' mosquitto: an ACL that allows the topic
// filters given as "plugin_opt_topics" (space separated) and refuses every
// other subscription, publication and delivery. Unlike an acl_file, it
// refuses the SUBSCRIBE itself, so the client sees the broker's refusal.
#include <mosquitto.h>
#include <mosquitto_broker.h>
#include <mosquitto_plugin.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

mosquitto_plugin_id_t *g_id = nullptr;
std::vector<std::string> g_topics;

bool allowed(const char *topic, int access)
{
    for (const std::string &filter : g_topics) {
        if (access == MOSQ_ACL_SUBSCRIBE || access == MOSQ_ACL_UNSUBSCRIBE) {
            if (filter == topic)
                return true;
            // A filter below an allowed one ("test/a" under "test/#").
            bool match = false;
            if (std::strpbrk(topic, "+#") == nullptr && mosquitto_topic_matches_sub(filter.c_str(), topic, &match) == 0
                && match)
                return true;
        } else {
            bool match = false;
            if (mosquitto_topic_matches_sub(filter.c_str(), topic, &match) == 0 && match)
                return true;
        }
    }
    return false;
}

int aclCheck(int, void *eventData, void *)
{
    auto *event = static_cast<mosquitto_evt_acl_check *>(eventData);
    return allowed(event->topic, event->access) ? MOSQ_ERR_SUCCESS : MOSQ_ERR_ACL_DENIED;
}

} // namespace

extern "C" {

int mosquitto_plugin_version(int supportedVersionCount, const int *supportedVersions)
{
    for (int i = 0; i < supportedVersionCount; ++i) {
        if (supportedVersions[i] == 5)
            return 5;
    }
    return -1;
}

int mosquitto_plugin_init(mosquitto_plugin_id_t *identifier, void **, struct mosquitto_opt *options, int optionCount)
{
    g_id = identifier;
    g_topics.clear();
    for (int i = 0; i < optionCount; ++i) {
        if (std::strcmp(options[i].key, "topics") == 0) {
            std::istringstream words(options[i].value);
            std::string word;
            while (words >> word)
                g_topics.push_back(word);
        }
    }
    return mosquitto_callback_register(g_id, MOSQ_EVT_ACL_CHECK, aclCheck, nullptr, nullptr);
}

int mosquitto_plugin_cleanup(void *, struct mosquitto_opt *, int)
{
    return mosquitto_callback_unregister(g_id, MOSQ_EVT_ACL_CHECK, aclCheck, nullptr);
}

} // extern "C"
