# Tests of the heartbeat worker, its NTP client and its endpoints. All
# network traffic stays on 127.0.0.1; the clock is always a fake.
function(tq_heartbeat_test name)
    add_executable(${name} ${name}.cpp heartbeattesthelpers.h)
    target_link_libraries(${name} PRIVATE tq_kiosk tq_core Qt5::Network Qt5::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "kiosk"
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

tq_heartbeat_test(tst_heart_ntppacket)
tq_heartbeat_test(tst_heart_ntpsync)
tq_heartbeat_test(tst_heart_http)
tq_heartbeat_test(tst_heart_thread)
