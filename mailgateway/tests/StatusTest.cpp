// Window Status without the window: Start, Stop when idle and during a pass, the
// timer and the busy flags on every way out of a pass, closing during a pass.
#include "mailgateway/tests/Fakes.h"

#include <gtest/gtest.h>

using namespace gatewaytest;

TEST(GatewayStatus, StartLoadsSettingsAndStopWhenIdleClosesTheModemAtOnce) {
    Rig rig;
    std::ofstream(SettingFilePath()) << "[EMail_Setting]\nLIMIT=4\n";
    StatusCore& f = rig.form;
    f.Form_Load();
    EXPECT_FALSE(f.TimerEnabled());
    EXPECT_TRUE(f.StartEnabled());
    EXPECT_FALSE(f.StopEnabled());

    f.btnStart_Click();
    EXPECT_TRUE(f.TimerEnabled());
    EXPECT_EQ(f.TimerInterval(), 60000);
    EXPECT_FALSE(f.StartEnabled() || f.ExitEnabled() || f.SettingsEnabled());
    EXPECT_TRUE(f.StopEnabled());
    EXPECT_EQ(Setting::Loaded.EMail.Limit, "4");
    EXPECT_EQ(Setting::Loaded.EMail.Server, "");  // replaced as a whole
    EXPECT_NE(f.txtLog().find("Service is started."), std::string::npos);

    f.btnStop_Click();
    EXPECT_EQ(rig.Modem().closes, 1);  // made on first use, then closed
    EXPECT_FALSE(f.TimerEnabled());
    EXPECT_TRUE(f.StartEnabled() && f.ExitEnabled() && f.SettingsEnabled());
    EXPECT_FALSE(f.StopEnabled() || f.BusyPointer());
    const std::string box = f.txtLog();
    const auto begin = box.find("begin shut down process, please wait ...");
    const auto closed = box.find("Connection with modem is closed.");
    const auto stopped = box.find("Service is stopped.");
    EXPECT_TRUE(begin < closed && closed < stopped && stopped != std::string::npos) << box;
}

TEST(GatewayStatus, StopDuringAPassWaitsForItAndSkipsTheSmsPass) {
    Rig rig;
    StatusCore& f = rig.form;
    f.Form_Load();
    f.btnStart_Click();
    int closesDuringPass = -1;
    bool busyPointer = false;
    rig.mail.onGetUidls = [&] {
        f.btnStop_Click();            // the user presses Stop while the mailbox is read
        f.Timer_Timer();              // and a timer event comes in meanwhile
        closesDuringPass = rig.Modem().closes;
        busyPointer = f.BusyPointer();
    };
    rig.Modem().inbox.push_back({"+60123", "hello", "26/12/08 10:00:00"});
    f.Timer_Timer();
    EXPECT_EQ(closesDuringPass, 0);
    EXPECT_TRUE(busyPointer);
    EXPECT_EQ(rig.Modem().closes, 1);
    EXPECT_FALSE(f.TimerEnabled());
    EXPECT_TRUE(f.StartEnabled());
    EXPECT_FALSE(f.BusyPointer());
    EXPECT_EQ(rig.Modem().inbox.size(), 1u);  // the SMS pass did not run
}

TEST(GatewayStatus, EveryWayOutOfThePassesGivesTheTimerAndTheFlagsBack) {
    Rig rig;
    StatusCore& f = rig.form;
    f.btnStart_Click();
    Setting::Loaded.EMail.Server = "pop.example.com";
    Setting::Loaded.SMTP.Server = "smtp.example.com";

    // A POP3 port that is not a number, an unreachable server, a modem port that is no number.
    Setting::Loaded.EMail.Port = "pop";
    Setting::Loaded.GSM_Modem.Port = "";
    rig.modemTemplate.connected = false;
    f.Timer_Timer();
    EXPECT_TRUE(f.TimerEnabled());
    EXPECT_FALSE(EmailtoSMS::Busy || SMStoEmail::Busy);
    const std::string log = rig.Log();
    EXPECT_NE(log.find("Error Location: Module.EmailtoSMS.ConnectMailServer() Parlix-Email\r\nError Number: 13\r\n"
                       "Error Description: The POP3 port \"pop\" in Setting.INI is not a port number"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("The modem port \"\" in Setting.INI is not a port number"), std::string::npos);
    EXPECT_NE(f.txtLog().find("SMS Modem Not Connected!"), std::string::npos);

    Setting::Loaded.EMail.Port = "";
    rig.mail.popDown = true;
    f.Timer_Timer();
    EXPECT_NE(rig.Log().find("Notice -- IsNull(sa) = True\r\n\r\n"), std::string::npos);
    EXPECT_NE(rig.Log().find("Failed to connect to the POP3 server"), std::string::npos);
    EXPECT_TRUE(f.TimerEnabled());

    // Stop right after works at once.
    f.btnStop_Click();
    EXPECT_FALSE(f.TimerEnabled());
    EXPECT_TRUE(f.StartEnabled());
}

TEST(GatewayStatus, ClosingDuringAPassClosesAfterIt) {
    Rig rig;
    StatusCore& f = rig.form;
    f.btnStart_Click();
    bool mayCloseDuringPass = true;
    rig.mail.onGetUidls = [&] { mayCloseDuringPass = f.RequestClose(); };
    f.Timer_Timer();
    EXPECT_FALSE(mayCloseDuringPass);
    EXPECT_EQ(rig.view.closes, 1);
    EXPECT_TRUE(f.StartEnabled());  // the service was stopped first
    EXPECT_TRUE(f.RequestClose());
}
