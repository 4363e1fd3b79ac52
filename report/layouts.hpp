// Every line either program writes to the report, and every record it reads, as one layout.
// A TAB in a label line is a real TAB character written unchanged.
#pragma once

#include "report/layout.hpp"

namespace pipenet::layouts {

// Input records.
inline constexpr Layout lamnet_header{"(4I10,F10.0)"};
inline constexpr Layout turbnet_header{"(5I10,F10.7,F15.7)"};
inline constexpr Layout node_record{"(I10,2F10.2)"};
inline constexpr Layout element_record{"(3I10,F10.5)"};
inline constexpr Layout discharge_record{"(I10,F12.4)"};
inline constexpr Layout head_record{"(I10,F10.4)"};
inline constexpr Layout print_flag_record{"(I10)"};

// Input echo.
inline constexpr Layout lamnet_banner{"(' ',130('*'))"};
inline constexpr Layout turbnet_banner{"(' ',70('*'))"};
inline constexpr Layout lamnet_input_data{
    "(/,/,' internal data',/,/,' number of nodes\t: ',I5,/,' number of elements\t: ',I5,/,"
    "' numder of nodes with known discharge\t: ',I5,/,' number of nodes with known head\t: ',I5,"
    "/,' value of density*gravity acc./viscosity\t: ',F15.2,/,/,' nodal coordinates',/,7X,"
    "'node',6X,'x',9X,'y')"};
inline constexpr Layout turbnet_input_data{
    "(/,/,' internal data',/,/,' number of nodes\t: ',I5,/,' number of elements\t: ',I5,/,"
    "' numder of nodes with known discharge\t: ',I5,/,' number of nodes with known head\t: ',I5,"
    "/,' maximum number of iterations\t: ',I5,/,' tolerance\t: ',16X,F10.7,/,/,"
    "' relative roughness\t: ',F15.7,/,/,' nodal coordinates',/,7X,'node',6X,'x',9X,'y')"};
inline constexpr Layout node_line{"(I10,2F10.2)"};
inline constexpr Layout element_heading{
    "(/,' element connectivity and diameter ',/,4X,'element ',3X,"
    "'start node    end node      diameter')"};
inline constexpr Layout element_line{"(2I10,I12,F18.5)"};
inline constexpr Layout half_band_line{"(/,'---- half-bandwidth is equal to',I5,' ----',/)"};
inline constexpr Layout discharge_heading{"(/,' nodal discharges ',/,8X,'node',5X,'value')"};
inline constexpr Layout discharge_line{"(I10,F12.4)"};
inline constexpr Layout boundary_heading{
    "(/,'    boundary   condition   data ',/,8X,'node',5X,'prescribed   values')"};
inline constexpr Layout boundary_line{"(I10,10X,F10.4)"};

// Driver messages.
inline constexpr Layout too_many_nodes{"(/,'  **** too many nodes ****  ',/)"};
inline constexpr Layout too_many_elements{"(/,'  **** too many elements ****  ',/)"};
inline constexpr Layout too_many_boundary_nodes{"(/,'  **** too many boundary nodes ****  ',/)"};
inline constexpr Layout half_band_exceeded{"(/,'  **** maximum half-bandwidth exceeded ****  ',/)"};
inline constexpr Layout no_nodes{"(/,'  **** no nodes in the network ****  ',/)"};
inline constexpr Layout node_record_out_of_range{
    "(/,'  **** node number out of range in node record :',I11,' ****  ',/)"};
inline constexpr Layout element_record_out_of_range{
    "(/,'  **** element number out of range in element record :',I11,' ****  ',/)"};
inline constexpr Layout pipe_end_out_of_range{
    "(/,'  **** node number out of range at an end of element',I5,' :',I11,' ****  ',/)"};
inline constexpr Layout discharge_record_out_of_range{
    "(/,'  **** node number out of range in known-discharge record :',I11,' ****  ',/)"};
inline constexpr Layout head_record_out_of_range{
    "(/,'  **** node number out of range in known-head record :',I11,' ****  ',/)"};
inline constexpr Layout errors_prevent_analysis{
    "(/,'  **** errors detected prevent analysis  **** ',/)"};
inline constexpr Layout errors_in_initial_solution{
    "(/,' **** errors detected during initial solution **** ',/)"};
inline constexpr Layout error_in_iterations{
    "(/,'  *** error detected during the iterations ***',/)"};
inline constexpr Layout convergence_achieved{"(/,' convergence achieved on cycle',I5,/)"};
inline constexpr Layout iteration_limit_reached{
    "(/,' maximum number of iterations reached without       convergence *',/,/)"};

// Pipe and solver messages.
inline constexpr Layout lamnet_zero_length{"(/,' **** zero length for element : ',I5,' ****',/)"};
inline constexpr Layout lamnet_zero_diameter{
    "(/,' **** zero diameter for element : ',I5,' ****',/)"};
inline constexpr Layout turbnet_zero_length{"(/,' **** zero length for element  : ',I5,' ****',/)"};
inline constexpr Layout turbnet_zero_diameter{
    "(/,' **** zero diameter for element  : ',I5,' ****',/)"};
inline constexpr Layout singularity{"('***** singularity in row   ',I5)"};

// Pass lines of turbnet.
inline constexpr Layout separator{"('  ',70('*'))"};
inline constexpr Layout pass_header{
    "(/,/,' ***** iteration number',I5,' ******',/,/,'  node     head',7X,"
    "'total vector computed vector',/)"};
inline constexpr Layout pass_row{"(I5,3F15.6)"};

// Results block.
inline constexpr Layout results_heading{
    "(/,/,1X,130('*'),/,/,'  results',/,/,' nodal heads',/,7X,'node',9X,'head')"};
inline constexpr Layout head_line{"(I10,F15.4)"};
inline constexpr Layout nodal_discharge_heading{
    "(/,' nodal discharges',/,7X,'node',5X,'discharge')"};
inline constexpr Layout nodal_discharge_line{"(I10,F15.4)"};
inline constexpr Layout member_discharge_heading{
    "(/,' member discharges',/,4X,' member discharge')"};
inline constexpr Layout member_discharge_line{"(I10,F15.4)"};
inline constexpr Layout closing_line{"(/,/,1X,130('*'))"};

} // namespace pipenet::layouts
