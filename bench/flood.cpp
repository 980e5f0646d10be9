// Publishes EVENTS calls, spread over BOXES boxes, to a broker as fast as it takes them
// (QoS 1, at most 1000 in flight), each as a monitor publishes it: for measuring how
// fast collectors store. Prints the seconds it took to hand them all to the broker.
//
//   build/bin/dialkite_flood HOST PORT BOXES EVENTS [INSTANCE]

#include <mosquitto.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: dialkite_flood HOST PORT BOXES EVENTS [INSTANCE]\n");
        return 2;
    }
    const char *host = argv[1];
    const int port = std::atoi(argv[2]);
    const int boxes = std::atoi(argv[3]);
    const long events = std::atol(argv[4]);
    const std::string instance = argc > 5 ? argv[5] : "flood";
    mosquitto_lib_init();
    mosquitto *mosq = mosquitto_new(("dialkite-flood-" + instance).c_str(), true, nullptr);
    static std::atomic<long> acknowledged = 0;
    mosquitto_publish_callback_set(mosq, [](mosquitto *, void *, int) { ++acknowledged; });
    mosquitto_max_inflight_messages_set(mosq, 1000);
    if (mosquitto_connect(mosq, host, port, 30) != MOSQ_ERR_SUCCESS) {
        std::fprintf(stderr, "dialkite_flood: cannot connect to %s:%d\n", host, port);
        return 1;
    }
    mosquitto_loop_start(mosq);
    char when[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S.000", std::localtime(&now));
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < events; ++i) {
        const int box = int(i % boxes);
        const long seq = i / boxes + 1;
        char payload[512];
        const int length = std::snprintf(
            payload, sizeof payload,
            "{\"event\":\"call\",\"box\":\"b%d\",\"line\":\"%ld\",\"number\":\"02-%04ld-%04ld\","
            "\"digits\":\"02%08ld\",\"status\":\"number\",\"variant\":\"1\","
            "\"id\":\"b%d:%s:%ld\",\"first\":1,\"pc_time\":\"%s\"}",
            box, i % 4 + 1, (i / 10000) % 10000, i % 10000, i % 100000000, box, instance.c_str(),
            seq, when);
        const std::string topic = "dialkite/b" + std::to_string(box) + "/call";
        while (i - acknowledged.load() >= 1000)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        while (mosquitto_publish(mosq, nullptr, topic.c_str(), length, payload, 1, false) !=
               MOSQ_ERR_SUCCESS)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    while (acknowledged.load() < events)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f\n", seconds);
    mosquitto_disconnect(mosq);
    mosquitto_loop_stop(mosq, false);
    mosquitto_destroy(mosq);
    mosquitto_lib_cleanup();
    return 0;
}
