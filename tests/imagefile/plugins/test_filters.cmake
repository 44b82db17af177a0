# Test filter plug-ins: variants of test_filter.cpp, each a real shared object in a folder of
# its own under the test build tree (never beside libvexa.so, where hosts look for plug-ins).
set(VEXA_TEST_FILTER_DIR ${CMAKE_CURRENT_BINARY_DIR}/filters)

# vexa_test_filter(<folder> <file name with suffix> <compile definitions>...)
function(vexa_test_filter folder file)
  string(MAKE_C_IDENTIFIER "test_filter_${folder}_${file}" target)
  add_library(${target} MODULE ${CMAKE_CURRENT_SOURCE_DIR}/imagefile/plugins/test_filter.cpp)
  get_filename_component(base ${file} NAME_WE)
  get_filename_component(suffix ${file} EXT)
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME ${base} SUFFIX ${suffix}
    LIBRARY_OUTPUT_DIRECTORY ${VEXA_TEST_FILTER_DIR}/${folder}
    CXX_VISIBILITY_PRESET hidden)
  target_compile_definitions(${target} PRIVATE ${ARGN})
  target_link_libraries(${target} PRIVATE vexa)
  add_dependencies(vexa_tests ${target})
endfunction()

# FilterID of four characters as a number for the compile definitions.
set(ID_NARR 0x5252414E)  # "NARR"
set(ID_BOTH 0x48544F42)  # "BOTH"
set(ID_NOPR 0x52504F4E)  # "NOPR"
set(ID_RDAH 0x48414452)  # "RDAH"
set(ID_DUPE 0x45505544)  # "DUPE"
set(ID_SKIP 0x50494B53)  # "SKIP"
set(ID_SND 0x20444E53)   # "SND "
set(ID_PNG 0x20474E50)   # "PNG "
set(ID_BMP 0x20504D42)   # "BMP "
set(ID_JPEG 0x4745504A)  # "JPEG"
set(ID_GIF 0x20464947)   # "GIF "
set(ID_XXXX 0x58585858)  # "XXXX"

# "order": the scan's rules.
vexa_test_filter(order a_narrow.ift TF_ID=${ID_NARR} TF_NAME=1 TF_PRIORITY=100 TF_MAGIC
                 TF_IMAGES=1)
vexa_test_filter(order b_both.ift TF_ID=${ID_BOTH} TF_NAME=3 TF_PRIORITY=100 TF_MAGIC
                 TF_EXTS_W TF_ANIMATIONS=1)
vexa_test_filter(order c_nopriority.ift TF_ID=${ID_NOPR} TF_NAME=2)
vexa_test_filter(order r_readahead.ift TF_ID=${ID_RDAH} TF_NAME=1 TF_PRIORITY=1 TF_READ_AHEAD=16)
vexa_test_filter(order d_nocreate.ift TF_ID=${ID_SKIP} TF_NAME=1 TF_NO_CREATE)
vexa_test_filter(order e_noid.ift TF_NAME=1)
vexa_test_filter(order f_noname.ift TF_ID=${ID_SKIP})
vexa_test_filter(order g_fails.ift TF_ID=${ID_DUPE} TF_NAME=1 TF_PRIORITY=50 TF_MAGIC
                 TF_CREATE_FAILS TF_NO_LISTS)
vexa_test_filter(order h_dupe.ift TF_ID=${ID_DUPE} TF_NAME=2 TF_PRIORITY=60 TF_MAGIC)
vexa_test_filter(order sound.sft TF_ID=${ID_SND} TF_NAME=1)
file(WRITE ${VEXA_TEST_FILTER_DIR}/order/z_text.ift "not a shared object\n")

# "preferred": BMP and JPEG without PNG, behind other formats by priority.
vexa_test_filter(preferred a.ift TF_ID=${ID_XXXX} TF_NAME=1 TF_PRIORITY=1)
vexa_test_filter(preferred b.ift TF_ID=${ID_GIF} TF_NAME=1 TF_PRIORITY=5)
vexa_test_filter(preferred c.ift TF_ID=${ID_JPEG} TF_NAME=1 TF_PRIORITY=10)
vexa_test_filter(preferred d.ift TF_ID=${ID_BMP} TF_NAME=1 TF_PRIORITY=20)
# "preferred_all": all three, in reverse priority order.
vexa_test_filter(preferred_all a.ift TF_ID=${ID_JPEG} TF_NAME=1 TF_PRIORITY=1)
vexa_test_filter(preferred_all b.ift TF_ID=${ID_BMP} TF_NAME=1 TF_PRIORITY=2)
vexa_test_filter(preferred_all c.ift TF_ID=${ID_XXXX} TF_NAME=1 TF_PRIORITY=3)
vexa_test_filter(preferred_all d.ift TF_ID=${ID_PNG} TF_NAME=1 TF_PRIORITY=4)

# "images": a reader of test images and two savers, one of which fails part-way.
set(ID_RDER 0x52454452)  # "RDER"
set(ID_FAIL 0x4C494146)  # "FAIL"
vexa_test_filter(images reader.ift TF_ID=${ID_RDER} TF_NAME=1 TF_MAGIC TF_READS TF_SAVES
                 TF_IMAGES=1)
vexa_test_filter(images failing.ift TF_ID=${ID_FAIL} TF_NAME=1 TF_SAVES TF_SAVE_FAILS)

# "dialogs": the file dialogs' list rules: a reader that saves, a reader that does not, an
# animation reader, and an image filter without extensions.
set(ID_SAVR 0x52564153)  # "SAVR"
set(ID_RDNL 0x4C4E4452)  # "RDNL"
set(ID_ANIM 0x4D494E41)  # "ANIM"
set(ID_NOEX 0x58454F4E)  # "NOEX"
vexa_test_filter(dialogs a_saver.ift TF_ID=${ID_SAVR} TF_NAME=1 TF_PRIORITY=1 TF_MAGIC TF_READS
                 TF_SAVES TF_IMAGES=1)
vexa_test_filter(dialogs b_reader.ift TF_ID=${ID_RDNL} TF_NAME=2 TF_PRIORITY=2 TF_MAGIC TF_READS
                 TF_IMAGES=1)
vexa_test_filter(dialogs c_anim.ift TF_ID=${ID_ANIM} TF_NAME=3 TF_PRIORITY=3 TF_EXTS_W
                 TF_ANIMATIONS=1)
vexa_test_filter(dialogs d_noexts.ift TF_ID=${ID_NOEX} TF_NAME=1 TF_PRIORITY=4 TF_NO_LISTS
                 TF_IMAGES=1 TF_SAVES)
