// The faked device's usbdevfs calls, answered by the machine model: URBs
// submitted, served and reaped; claims, kernel drivers, halts and unplugs.
#include <errno.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cstring>

#include "usb_sim.h"

namespace vantrel::usbsim {
namespace {

bool interrupted = false;


void finish(Device& d, Urb u, int status, int length) {
    u.urb()->status = status;
    u.urb()->actual_length = length;
    d.finished.push_back(u);
}

void serveIn(Device& d) {
    while (!d.waitingIn.empty() && !d.replies.empty()) {
        Urb u = d.waitingIn.front();
        d.waitingIn.pop_front();
        const std::size_t n = std::min<std::size_t>(d.replies.size(), static_cast<std::size_t>(u.urb()->buffer_length));
        UMockdevIoctlData* buffer =
            umockdev_ioctl_data_resolve(u.data, offsetof(usbdevfs_urb, buffer), u.urb()->buffer_length, nullptr);
        std::memcpy(buffer->data, d.replies.data(), n);
        d.replies.erase(0, n);
        finish(d, u, 0, static_cast<int>(n));
    }
}

void unplug(Device& d) {
    d.gone = true;
    d.events.push_back("unplugged after " + std::to_string(d.received) + " bytes");
    d.machine.connectionLost(nowMs());
    for (auto* list : {&d.waitingIn, &d.waitingOut})
        while (!list->empty()) {
            finish(d, list->front(), -ENODEV, 0);
            list->pop_front();
        }
}

// Bytes of a bulk OUT URB reaching the machine; false when it must wait.
bool takeOut(Device& d, Urb u) {
    UMockdevIoctlData* buffer =
        umockdev_ioctl_data_resolve(u.data, offsetof(usbdevfs_urb, buffer), u.urb()->buffer_length, nullptr);
    std::size_t size = static_cast<std::size_t>(u.urb()->buffer_length);
    std::size_t take = std::min(size, options.stopAfter - std::min(options.stopAfter, d.received));
    const bool unplugging = d.received + take >= options.unplugAfter;
    if (unplugging) take = options.unplugAfter - d.received;
    if (take == 0 && !unplugging) return false;
    d.replies += d.machine.receive(std::string_view(reinterpret_cast<const char*>(buffer->data), take), nowMs());
    if (options.timeByte && d.received < options.timeByte && d.received + take >= options.timeByte) {
        const double ms = msSinceSpawn();
        d.events.push_back("byte " + std::to_string(options.timeByte) + " at " + std::to_string(ms) + " ms");
    }
    d.received += take;
    if (d.received >= options.interruptAfter && !interrupted) {
        interrupted = true;
        sendSignal(d, "after " + std::to_string(d.received) + " bytes");
    }
    if (unplugging) {
        finish(d, u, -EPROTO, static_cast<int>(take));
        unplug(d);
    } else if (take < size) {
        // Part taken; the rest waits for a discard (the sender's time-out).
        u.urb()->actual_length = static_cast<int>(take);
        d.waitingOut.push_back(u);
    } else {
        finish(d, u, 0, static_cast<int>(take));
    }
    serveIn(d);
    return true;
}

void submit(Device& d, UMockdevIoctlData* arg) {
    Urb u{umockdev_ioctl_data_ref(umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr))};
    usbdevfs_urb* urb = u.urb();
    if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
        UMockdevIoctlData* buffer =
            umockdev_ioctl_data_resolve(u.data, offsetof(usbdevfs_urb, buffer), urb->buffer_length, nullptr);
        const std::uint8_t* setup = buffer->data;
        int length = 0;
        if (setup[0] == 0xA1 && setup[1] == 0) {  // the printer class's GET_DEVICE_ID
            d.events.push_back("GET_DEVICE_ID");
            const std::size_t wanted = static_cast<std::size_t>(setup[6] | setup[7] << 8);
            std::string answer;
            answer += static_cast<char>((d.deviceId.size() + 2) >> 8);
            answer += static_cast<char>((d.deviceId.size() + 2) & 0xFF);
            answer += d.deviceId;
            length = static_cast<int>(std::min({answer.size(), wanted, static_cast<std::size_t>(urb->buffer_length - 8)}));
            std::memcpy(buffer->data + 8, answer.data(), length);
        }
        finish(d, u, 0, length);
    } else if (urb->endpoint & 0x80) {
        d.waitingIn.push_back(u);
        serveIn(d);
    } else if (d.halted || (!d.haltedOnce && d.received >= options.haltAfter)) {
        if (!d.halted) d.events.push_back("endpoint halted after " + std::to_string(d.received) + " bytes");
        d.halted = d.haltedOnce = true;
        finish(d, u, -EPIPE, 0);
    } else if (!d.waitingOut.empty() || !takeOut(d, u)) {
        urb->actual_length = 0;
        d.waitingOut.push_back(u);
    }
}

}  // namespace

std::int64_t nowMs() {
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

gboolean handleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer userData) {
    Device& d = *static_cast<Device*>(userData);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    auto complete = [&](long result, int error) {
        umockdev_ioctl_client_complete(client, result, error);
        return TRUE;
    };
    if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) {
        if (d.finished.empty()) return complete(-1, d.gone ? ENODEV : EAGAIN);
        Urb u = d.finished.front();
        d.finished.pop_front();
        UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
        umockdev_ioctl_data_set_ptr(slot, 0, u.data);
        umockdev_ioctl_data_unref(u.data);
        return complete(0, 0);
    }
    if (request == USBDEVFS_DISCARDURB) {
        const gulong address = *reinterpret_cast<const gulong*>(arg->data);
        for (auto* list : {&d.waitingIn, &d.waitingOut})
            for (auto it = list->begin(); it != list->end(); ++it)
                if (it->data->client_addr == address) {
                    Urb u = *it;
                    list->erase(it);
                    finish(d, u, -ENOENT, u.urb()->actual_length);
                    return complete(0, 0);
                }
        return complete(-1, EINVAL);
    }
    if (d.gone) return complete(-1, ENODEV);
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
            const std::uint32_t none = 0;
            std::memcpy(caps->data, &none, sizeof none);
            return complete(0, 0);
        }
        case USBDEVFS_GETDRIVER: {
            if (options.held) {  // how usbdevfs names a claim by another program
                auto* g = reinterpret_cast<usbdevfs_getdriver*>(
                    umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), nullptr)->data);
                std::snprintf(g->driver, sizeof g->driver, "usbfs");
                return complete(0, 0);
            }
            if (!d.driverBound) return complete(-1, ENODATA);
            auto* g = reinterpret_cast<usbdevfs_getdriver*>(
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), nullptr)->data);
            std::snprintf(g->driver, sizeof g->driver, "%s", options.kernelDriver.c_str());
            return complete(0, 0);
        }
        case USBDEVFS_DISCONNECT_CLAIM:
            if (options.held) return complete(-1, EBUSY);
            d.events.push_back(d.driverBound ? "claimed, " + options.kernelDriver + " detached" : "claimed");
            d.driverBound = false;
            return complete(0, 0);
        case USBDEVFS_CLAIMINTERFACE:
            if (d.driverBound || options.held) return complete(-1, EBUSY);
            d.events.push_back("claimed");
            return complete(0, 0);
        case USBDEVFS_RELEASEINTERFACE:
            d.events.push_back("released");
            return complete(0, 0);
        case USBDEVFS_IOCTL: {
            auto* c = reinterpret_cast<usbdevfs_ioctl*>(umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), nullptr)->data);
            if (c->ioctl_code == USBDEVFS_CONNECT && !options.kernelDriver.empty()) {
                d.driverBound = true;
                d.events.push_back(options.kernelDriver + " given back");
            }
            return complete(0, 0);
        }
        case USBDEVFS_SUBMITURB:
            submit(d, arg);
            return complete(0, 0);
        case USBDEVFS_SETINTERFACE:
            if (!options.altSettingFails) return complete(0, 0);
            d.events.push_back("alternate setting refused");
            return complete(-1, EIO);
        case USBDEVFS_CLEAR_HALT:
            if (d.halted) d.events.push_back("halt cleared");
            d.halted = false;
            return complete(0, 0);
        case USBDEVFS_RESET:
            return complete(0, 0);
        default:
            return complete(-1, ENOTTY);
    }
}

}  // namespace vantrel::usbsim
