# The guide page's pictures among the tool's read-only data: the wide logo, drawn by a helper, and the four
# QR codes, encoded from the vendor's addresses with qrencode. Names and formats are what the page
# asks for.
find_program(QRENCODE_EXECUTABLE qrencode REQUIRED)

set(VENDOR_QR_CODES
    "qr-miniprogram|jpg|https://www.corvanta-data.cn/mp/corvanta"
    "qr-wecom|jpeg|https://www.corvanta-data.cn/support/wecom"
    "qr-wechat|png|https://www.corvanta-data.cn/contact/wechat/corvanta_bd"
    "qr-official|jpeg|https://www.corvanta-data.cn/official-account")

set(resources "${TOOL_DATA_DIR}")
set(bundle_images "${resources}/corvanta-logo.png")
add_custom_command(OUTPUT "${resources}/corvanta-logo.png"
    COMMAND corvanta-bundle-images logo "${resources}/corvanta-logo.png"
    DEPENDS corvanta-bundle-images
    COMMENT "Drawing the product logo")

foreach(entry ${VENDOR_QR_CODES})
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 0 name)
    list(GET fields 1 ext)
    list(GET fields 2 address)
    set(output "${resources}/${name}.${ext}")
    if(ext STREQUAL "png")
        add_custom_command(OUTPUT "${output}"
            COMMAND "${QRENCODE_EXECUTABLE}" -l M -s 10 -m 2 -o "${output}" "${address}"
            COMMENT "Encoding ${name}.${ext}")
    else()
        set(intermediate "${CMAKE_CURRENT_BINARY_DIR}/qr/${name}.png")
        add_custom_command(OUTPUT "${output}"
            COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/qr"
            COMMAND "${QRENCODE_EXECUTABLE}" -l M -s 10 -m 2 -o "${intermediate}" "${address}"
            COMMAND corvanta-bundle-images jpeg "${intermediate}" "${output}"
            DEPENDS corvanta-bundle-images
            COMMENT "Encoding ${name}.${ext}")
    endif()
    list(APPEND bundle_images "${output}")
endforeach()

add_custom_target(corvanta_bundle_images ALL DEPENDS ${bundle_images})
