#pragma once

#include "connection/Ras.h"
#include "connection/RasServiceProvider.h"
#include "connection/ZorvRasConnect.h"
#include "platform/fake/FakeRasService.h"

#include <QObject>
#include <QVariant>

#include <gtest/gtest.h>

#include <memory>
#include <string>

// An owner that counts as a form: the core library has no widgets, so the
// tests mark form objects with a property.
inline bool testFormTest(const QObject* o) {
    return o && o->property("form").toBool();
}

// The text of the RasError that f raises.
template <class F> std::string rasErrorOf(F f) {
    try {
        f();
    } catch (const RasError& e) {
        return e.what();
    }
    return "<no error>";
}

class MonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        TZorvRasConnect::setFormTest(&testFormTest);
        form.setProperty("form", true);
        service = std::make_shared<ras::FakeRasService>();
        ras::setRasService(service);
        loader = std::make_shared<ras::FakeLibraryLoader>(ras::FakeLibraryLoader::withRasapi32());
        ras::setLibraryLoader(loader);
    }
    void TearDown() override {
        ras::setLibraryLoader(nullptr);
        ras::setRasService(nullptr);
    }

    ras::FakeRasService::Connection conn(const std::string& entry, ras::DWORD state,
                                         ras::HRASCONN handle = 1) {
        ras::FakeRasService::Connection c;
        c.handle = handle;
        c.entryName = entry;
        c.deviceType = "modem";
        c.deviceName = "ttyS0";
        c.state = state;
        return c;
    }

    QObject form;
    std::shared_ptr<ras::FakeRasService> service;
    std::shared_ptr<ras::FakeLibraryLoader> loader;
};
